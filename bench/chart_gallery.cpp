// Renders every chart kind, flat and in 3D, for a few value pairs at drive-window sizes into
// one PNG sheet, so that a person can look at them all at once.
//   chart_gallery [out.png]
#include "chart.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication application(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("gallery.png");

    struct Pair
    {
        double used, free;
    };
    const Pair pairs[] = {{931, 400}, {0, 100}, {1, 2000}, {1863, 0}};
    const SeriesKind kinds[] = {SeriesKind::Pie, SeriesKind::HorizBar, SeriesKind::Bar};
    const QSize sizes[] = {{301, 247}, {232, 66}};
    const qreal ratio = 2;

    const int columns = 4 * 2; // pairs x sizes
    const int rows = 3 * 2;    // kinds x 2D/3D
    const QSize cell(301 + 8, 247 + 8);
    QImage sheet(QSize(columns * cell.width(), rows * cell.height()) * ratio,
                 QImage::Format_ARGB32_Premultiplied);
    sheet.setDevicePixelRatio(ratio);
    sheet.fill(QColor(212, 208, 200));
    QPainter painter(&sheet);

    int row = 0;
    for (const SeriesKind kind : kinds) {
        for (const bool view3D : {false, true}) {
            int column = 0;
            for (const QSize size : sizes) {
                for (const Pair pair : pairs) {
                    TDBChart chart;
                    chart.resize(size);
                    chart.SetCaption(QStringLiteral("Laufwerksbelegung C:\\"));
                    TChartSeries *series = new TPieSeries(&chart);
                    series->Add(pair.used, QStringLiteral("GB belegt"), QColor(0, 0, 255));
                    series->Add(pair.free, QStringLiteral("GB frei"), QColor(255, 0, 255));
                    ChangeSeriesKind(series, kind);
                    chart.SetView3D(view3D);
                    QImage image(size * ratio, QImage::Format_ARGB32_Premultiplied);
                    image.setDevicePixelRatio(ratio);
                    chart.render(&image);
                    painter.drawImage(QPoint(column * cell.width() + 4, row * cell.height() + 4),
                                      image);
                    ++column;
                }
            }
            ++row;
        }
    }
    painter.end();
    if (!sheet.save(out)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(out));
        return 1;
    }
    std::printf("%s\n", qPrintable(out));
    return 0;
}
