// Painting one drive window's chart at 320 x 247 into an image, per kind, flat and in 3D,
// beside a baseline of filling the same image and drawing one antialiased disc. Each paint is
// a first one; PaintChartAgain paints a 3D pie whose picture is kept, as after a refresh.
#include "chart.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPixmapCache>
#include <benchmark/benchmark.h>

namespace {

const QSize chartSize(320, 247);

void Baseline(benchmark::State &state)
{
    QImage image(chartSize, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillRect(image.rect(), Qt::white);
        painter.setBrush(Qt::blue);
        painter.drawEllipse(QRectF(60, 40, 200, 160));
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}

// Fills `chart` as a drive window fills it, as the given kind, flat or in 3D.
void fillChart(TDBChart &chart, SeriesKind kind, bool view3D)
{
    chart.resize(chartSize);
    chart.SetCaption(QStringLiteral("Laufwerksbelegung C:\\"));
    TChartSeries *series = new TPieSeries(&chart);
    series->Add(531, QStringLiteral("GB belegt"), QColor(0, 0, 255));
    series->Add(400, QStringLiteral("GB frei"), QColor(255, 0, 255));
    ChangeSeriesKind(series, kind);
    chart.SetView3D(view3D);
}

void PaintChart(benchmark::State &state)
{
    TDBChart chart;
    fillChart(chart, static_cast<SeriesKind>(state.range(0)), state.range(1) != 0);
    QImage image(chartSize, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        QPixmapCache::clear(); // no pie kept from before
        chart.render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
}

void PaintChartAgain(benchmark::State &state)
{
    TDBChart chart;
    fillChart(chart, SeriesKind::Pie, true);
    QImage image(chartSize, QImage::Format_ARGB32_Premultiplied);
    chart.render(&image);
    chart.render(&image); // the second time the pie is kept
    for (auto _ : state) {
        chart.render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
}

} // namespace

BENCHMARK(Baseline)->Unit(benchmark::kMicrosecond);
BENCHMARK(PaintChartAgain)->Unit(benchmark::kMicrosecond);
BENCHMARK(PaintChart)
    ->ArgNames({"kind", "3d"})
    ->ArgsProduct({{0, 1, 2}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
