#include "fonts.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QStringList>

void InstallFontSubstitutes()
{
    const QStringList sans = {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                              QStringLiteral("DejaVu Sans"), QStringLiteral("Sans Serif")};
    // Where one of them is installed, each face that is not stands in for that one alone: a
    // font asked for by a name the system lacks costs Qt a search through every installed font
    // (a fontconfig sort), once per face, before the first text can be drawn.
    const QStringList families = QFontDatabase::families();
    const auto isInstalled = [&](const QString &family) {
        return families.contains(family, Qt::CaseInsensitive);
    };
    QStringList standIns = sans;
    for (const QString &family : sans) {
        if (isInstalled(family)) {
            standIns = {family};
            break;
        }
    }
    for (const char *face : {"Segoe UI", "MS Sans Serif", "Arial", "System"}) {
        const QString name = QString::fromLatin1(face);
        if (!isInstalled(name))
            QFont::insertSubstitutions(name, standIns);
    }
}

QFont DeclaredFont(const QString &face, int pixelHeight, bool bold)
{
    QFont font(QFont::substitute(face));
    font.setPixelSize(pixelHeight);
    font.setBold(bold);
    return font;
}

QFont FittedFont(QFont font, int height)
{
    while (font.pixelSize() > 1 && QFontMetrics(font).height() > height)
        font.setPixelSize(font.pixelSize() - 1);
    return font;
}
