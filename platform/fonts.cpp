#include "fonts.h"

#include <QStringList>

void InstallFontSubstitutes()
{
    const QStringList sans = {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                              QStringLiteral("DejaVu Sans"), QStringLiteral("Sans Serif")};
    for (const char *face : {"Segoe UI", "MS Sans Serif", "Arial", "System"})
        QFont::insertSubstitutions(QString::fromLatin1(face), sans);
}

QFont DeclaredFont(const QString &face, int pixelHeight, bool bold)
{
    QFont font(face);
    font.setPixelSize(pixelHeight);
    font.setBold(bold);
    return font;
}
