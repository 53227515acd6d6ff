// Draws Volumo's glyphs and icons at 1x and 2x into resources/. The PNG files are committed;
// run this again after changing a picture:
//   build/tools/draw_pictures resources
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QList>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cstdio>
#include <functional>

namespace {

using Draw = std::function<void(QPainter &)>;

bool save(const QString &folder, const QString &name, QSize size, const Draw &draw)
{
    for (const int ratio : {1, 2}) {
        QImage image(size * ratio, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(ratio, ratio);
        draw(painter);
        painter.end();
        const QString file = folder + QLatin1Char('/') + name + (ratio == 2 ? "@2x.png" : ".png");
        if (!image.save(file))
            return false;
        std::printf("%s\n", qPrintable(file));
    }
    return true;
}

// The Windows program icon: the icon's 1x and 2x pictures as they were saved, each stored whole
// as PNG data in one .ico file (Windows Vista and later read PNG entries).
bool saveIco(const QString &folder, const QString &name)
{
    QList<QByteArray> pictures;
    QList<int> sides;
    for (const char *suffix : {".png", "@2x.png"}) {
        QFile file(folder + QLatin1Char('/') + name + QLatin1String(suffix));
        if (!file.open(QIODevice::ReadOnly))
            return false;
        pictures.append(file.readAll());
        const QImage image = QImage::fromData(pictures.last(), "PNG");
        if (image.isNull() || image.width() != image.height() || image.width() > 256)
            return false;
        sides.append(image.width());
    }
    QByteArray ico;
    const auto put16 = [&](int value) {
        ico.append(char(value & 0xff)).append(char((value >> 8) & 0xff));
    };
    const auto put32 = [&](qsizetype value) {
        put16(int(value & 0xffff));
        put16(int((value >> 16) & 0xffff));
    };
    put16(0); // reserved
    put16(1); // an icon, not a cursor
    put16(int(pictures.size()));
    qsizetype offset = 6 + 16 * pictures.size();
    for (qsizetype i = 0; i < pictures.size(); ++i) {
        ico.append(char(sides[i] == 256 ? 0 : sides[i]))
            .append(char(sides[i] == 256 ? 0 : sides[i]));
        ico.append(char(0)).append(char(0)); // no palette, reserved
        put16(1);                            // colour planes
        put16(32);                           // bits per pixel
        put32(pictures[i].size());
        put32(offset);
        offset += pictures[i].size();
    }
    for (const QByteArray &picture : pictures)
        ico.append(picture);
    const QString path = folder + QLatin1Char('/') + name + QLatin1String(".ico");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(ico) != ico.size())
        return false;
    std::printf("%s\n", qPrintable(path));
    return true;
}

void arrow(QPainter &painter, QPointF centre, double radius, double from, double span,
           const QColor &colour)
{
    QPainterPath arc;
    QRectF box(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    arc.arcMoveTo(box, from);
    arc.arcTo(box, from, span);
    painter.setPen(QPen(colour, 1.6, Qt::SolidLine, Qt::RoundCap));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(arc);
    // The head at the arc's end, pointing along it.
    const QPointF tip = arc.currentPosition();
    const double angle = (from + span) * M_PI / 180;
    const QPointF along = span > 0 ? QPointF(-std::sin(angle), -std::cos(angle))
                                   : QPointF(std::sin(angle), std::cos(angle));
    const QPointF side(std::cos(angle), -std::sin(angle));
    QPolygonF head;
    head << tip + along * 2.4 << tip + side * 2.2 << tip - side * 2.2;
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawPolygon(head);
}

void refresh(QPainter &painter)
{
    // A page with a folded corner, two green arrows circling over it.
    QPainterPath page;
    page.moveTo(1.5, 0.5);
    page.lineTo(8.5, 0.5);
    page.lineTo(11.5, 3.5);
    page.lineTo(11.5, 14.5);
    page.lineTo(1.5, 14.5);
    page.closeSubpath();
    painter.setPen(QPen(QColor(90, 90, 90), 1));
    painter.setBrush(Qt::white);
    painter.drawPath(page);
    painter.drawLine(QPointF(8.5, 0.5), QPointF(8.5, 3.5));
    painter.drawLine(QPointF(8.5, 3.5), QPointF(11.5, 3.5));
    const QColor green(0, 150, 40);
    arrow(painter, QPointF(6.5, 8.5), 3.6, 100, 150, green);
    arrow(painter, QPointF(6.5, 8.5), 3.6, 280, 150, green);
}

void info(QPainter &painter)
{
    // A white disc with a blue letter i.
    QRadialGradient shade(QPointF(6, 5), 8);
    shade.setColorAt(0, Qt::white);
    shade.setColorAt(1, QColor(225, 230, 240));
    painter.setPen(QPen(QColor(60, 80, 140), 1));
    painter.setBrush(shade);
    painter.drawEllipse(QRectF(0.5, 0.5, 14, 14));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 220));
    painter.drawEllipse(QRectF(6.3, 2.8, 2.4, 2.4));
    painter.drawRoundedRect(QRectF(6.4, 6.2, 2.2, 6.3), 0.6, 0.6);
    painter.drawRect(QRectF(5.3, 11.3, 4.4, 1.2));
}

void tools(QPainter &painter, bool enabled)
{
    // A spanner and a screwdriver crossed.
    const QColor steel = enabled ? QColor(110, 120, 135) : QColor(150, 150, 150);
    const QColor handle = enabled ? QColor(200, 30, 30) : QColor(170, 170, 170);
    painter.save();
    painter.translate(8, 8);
    painter.rotate(45);
    painter.setPen(QPen(steel.darker(150), 0.8));
    painter.setBrush(steel);
    painter.drawRoundedRect(QRectF(-1.4, -4, 2.8, 11), 1, 1);
    QPainterPath jaw;
    jaw.addEllipse(QRectF(-3.4, -8, 6.8, 6.8));
    QPainterPath gap;
    gap.addRect(QRectF(-1.3, -8.5, 2.6, 3.8));
    painter.drawPath(jaw.subtracted(gap));
    painter.restore();

    painter.save();
    painter.translate(8, 8);
    painter.rotate(-45);
    painter.setPen(QPen(steel.darker(150), 0.6));
    painter.setBrush(steel.lighter(120));
    painter.drawRect(QRectF(-0.7, -7.5, 1.4, 8));
    painter.setPen(QPen(handle.darker(150), 0.8));
    painter.setBrush(handle);
    painter.drawRoundedRect(QRectF(-1.9, 0.5, 3.8, 7), 1.2, 1.2);
    painter.restore();
}

void okMark(QPainter &painter)
{
    QPainterPath tick;
    tick.moveTo(2, 8.5);
    tick.lineTo(6, 12.5);
    tick.lineTo(13.5, 3);
    painter.setPen(QPen(QColor(0, 140, 0), 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(tick);
}

void abortCross(QPainter &painter)
{
    painter.setPen(QPen(QColor(200, 0, 0), 2.6, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(3, 3), QPointF(12, 12));
    painter.drawLine(QPointF(12, 3), QPointF(3, 12));
}

// A 3D pie: `main` with a `slice` of a quarter cut out at the front right.
void pieIcon(QPainter &painter, QSizeF size, const QColor &main, const QColor &slice)
{
    const double w = size.width();
    const QRectF top(1, w * 0.14, w - 2, (w - 2) * 0.6);
    const double depth = w * 0.18;
    const QRectF lower = top.translated(0, depth);
    painter.setPen(QPen(Qt::black, std::max(0.6, w / 40)));

    const auto rim = [&](double from, double span, const QColor &colour) {
        QPainterPath side;
        side.arcMoveTo(top, from);
        side.arcTo(top, from, span);
        side.arcTo(lower, from + span, -span);
        side.closeSubpath();
        painter.setBrush(colour.darker(160));
        painter.drawPath(side);
    };
    rim(180, 90, main); // left half of the front
    rim(270, 45, main);
    rim(315, 45, slice); // the slice's front edge
    const auto face = [&](double from, double span, const QColor &colour) {
        QPainterPath path(top.center());
        path.arcTo(top, from, span);
        path.closeSubpath();
        painter.setBrush(colour);
        painter.drawPath(path);
    };
    face(45, 270, main);
    face(-45, 90, slice);
}

void horizontalBars(QPainter &painter)
{
    // A black axis at the left, a long blue bar above a shorter fuchsia one.
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(QColor(0, 0, 255));
    painter.drawRect(QRectF(4.5, 6.5, 24, 8));
    painter.setBrush(QColor(255, 0, 255));
    painter.drawRect(QRectF(4.5, 18.5, 15, 8));
    painter.setPen(QPen(Qt::black, 2));
    painter.drawLine(QPointF(3, 2), QPointF(3, 30));
}

void verticalBars(QPainter &painter)
{
    // A tall blue bar and a shorter fuchsia one to its right on a black base line.
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(QColor(0, 0, 255));
    painter.drawRect(QRectF(6.5, 4.5, 8, 24));
    painter.setBrush(QColor(255, 0, 255));
    painter.drawRect(QRectF(18.5, 13.5, 8, 15));
    painter.setPen(QPen(Qt::black, 2));
    painter.drawLine(QPointF(2, 29), QPointF(30, 29));
}

// The about dialog's illustration: a 3D pie, a red and a green share with their percentages,
// on a background shading from white at the top to orange at the bottom.
void illustration(QPainter &painter)
{
    QLinearGradient sky(0, 0, 0, 95);
    sky.setColorAt(0, Qt::white);
    sky.setColorAt(1, QColor(255, 160, 40));
    painter.fillRect(QRectF(0, 0, 111, 95), sky);
    painter.save();
    painter.translate(18, 26);
    pieIcon(painter, {75, 75}, QColor(220, 30, 30), QColor(40, 170, 40));
    painter.restore();
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(11);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(150, 0, 0));
    painter.drawText(QRectF(2, 4, 50, 14), Qt::AlignLeft, QStringLiteral("75 %"));
    painter.setPen(QColor(0, 110, 0));
    painter.drawText(QRectF(60, 4, 49, 14), Qt::AlignRight, QStringLiteral("25 %"));
}

// The maker's logo: the name in a bold italic face beside a small stack of discs.
void logo(QPainter &painter)
{
    for (int i = 0; i < 3; ++i) {
        const QRectF disc(2, 18 - i * 6, 30, 12);
        painter.setPen(QPen(QColor(0, 0, 120), 1));
        painter.setBrush(i == 2 ? QColor(255, 0, 255) : QColor(0, 0, 255));
        painter.drawEllipse(disc);
    }
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(24);
    font.setBold(true);
    font.setItalic(true);
    painter.setFont(font);
    painter.setPen(QColor(0, 0, 128));
    painter.drawText(QRectF(40, 0, 206, 34), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Volumo-Team"));
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QString root = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("resources");
    const QString glyphs = root + "/glyphs";
    const QString icons = root + "/icons";
    QDir().mkpath(glyphs);
    QDir().mkpath(icons);

    const bool ok =
        save(glyphs, "refresh", {13, 15}, refresh) && save(glyphs, "info", {15, 15}, info) &&
        save(glyphs, "tools", {16, 16}, [](QPainter &p) { tools(p, true); }) &&
        save(glyphs, "tools-disabled", {16, 16}, [](QPainter &p) { tools(p, false); }) &&
        save(glyphs, "ok", {15, 15}, okMark) && save(glyphs, "abort", {15, 15}, abortCross) &&
        save(icons, "volumo", {32, 32},
             [](QPainter &p) {
                 pieIcon(p, {32, 32}, QColor(0, 0, 255), QColor(255, 0, 255));
             }) &&
        saveIco(icons, "volumo") &&
        save(icons, "pie", {32, 32},
             [](QPainter &p) {
                 pieIcon(p, {32, 32}, QColor(0, 0, 255), QColor(255, 0, 255));
             }) &&
        save(icons, "bars-horizontal", {32, 32}, horizontalBars) &&
        save(icons, "bars-vertical", {32, 32}, verticalBars) &&
        save(icons, "about", {32, 32},
             [](QPainter &p) {
                 pieIcon(p, {32, 32}, QColor(220, 30, 30), QColor(40, 170, 40));
             }) &&
        save(icons, "illustration", {111, 95}, illustration) &&
        save(icons, "logo", {246, 34}, logo);
    return ok ? 0 : 1;
}
