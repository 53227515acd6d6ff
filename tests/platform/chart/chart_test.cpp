#include "chart.h"

#include <QCoreApplication>
#include <QImage>
#include <QPixmap>
#include <QPixmapCache>
#include <QPointer>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>

namespace {

const QColor blue(0, 0, 255);
const QColor fuchsia(255, 0, 255);

// A chart filled as a drive window fills it.
struct DriveChart
{
    DriveChart(double used, double free, SeriesKind kind, bool view3D, QSize size = {301, 247})
    {
        chart.resize(size);
        chart.SetCaption(QStringLiteral("Laufwerksbelegung C:\\"));
        series->Clear();
        series->Add(used, QStringLiteral("GB belegt"), blue);
        series->Add(free, QStringLiteral("GB frei"), fuchsia);
        chart.SetView3D(view3D);
        ChangeSeriesKind(series, kind);
    }

    QImage render(qreal ratio = 1)
    {
        QImage image(chart.size() * ratio, QImage::Format_ARGB32);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::red); // anything the chart leaves unpainted would show red
        chart.render(&image);
        return image;
    }

    TDBChart chart;
    TChartSeries *series = new TPieSeries(&chart);
};

QColor colourAt(const QImage &image, QPointF logical)
{
    const qreal ratio = image.devicePixelRatio();
    return image.pixelColor((logical * ratio).toPoint());
}

// A point well inside a slice's top face: half way out along its middle angle.
QPointF insideSlice(const ChartGeometry &geometry, size_t index)
{
    const SliceGeometry &slice = geometry.slices[index];
    const double middle = (slice.startAngle + slice.spanAngle / 2) * std::numbers::pi / 180;
    const QPointF centre = geometry.pieTop.center();
    return centre + QPointF(geometry.pieTop.width() / 4 * std::cos(middle),
                            -geometry.pieTop.height() / 4 * std::sin(middle));
}

const char *kindName(SeriesKind kind)
{
    switch (kind) {
    case SeriesKind::Pie:
        return "pie";
    case SeriesKind::HorizBar:
        return "horizontal bars";
    case SeriesKind::Bar:
        return "vertical bars";
    }
    return "?";
}

} // namespace

TEST(PieAngles, SharesInOrderClockwiseFromTwelve)
{
    struct Row
    {
        const char *name;
        std::vector<double> values;
        std::vector<double> spans;
    };
    const Row rows[] = {
        {"931 used, 400 free", {931, 400}, {-360 * 931 / 1331.0, -360 * 400 / 1331.0}},
        {"half and half", {5, 5}, {-180, -180}},
        {"nothing free", {1863, 0}, {-360, 0}},
        {"nothing used", {0, 100}, {0, -360}},
        {"a sliver", {1, 2000}, {-360 / 2001.0, -360 * 2000 / 2001.0}},
        {"empty drive", {0, 0}, {0, 0}},
        {"negative counts as nothing", {-5, 10}, {0, -360}},
    };
    for (const Row &row : rows) {
        const std::vector<SliceGeometry> slices = PieAngles(row.values);
        ASSERT_EQ(slices.size(), row.spans.size()) << row.name;
        double start = 90;
        for (size_t i = 0; i < slices.size(); ++i) {
            EXPECT_NEAR(slices[i].startAngle, start, 1e-9) << row.name << " slice " << i;
            EXPECT_NEAR(slices[i].spanAngle, row.spans[i], 1e-9) << row.name << " slice " << i;
            start += slices[i].spanAngle;
        }
    }
}

TEST(ChartGeometry, MarksStayInsideTheWidgetAtEverySize)
{
    // 301 x 247 is the drive window's design; 232 x 66 about what a 4 x 4 grid leaves a chart
    // in the declared main window; 397 x 217 the total overview's.
    const QSize sizes[] = {{301, 247}, {232, 66}, {150, 50}, {397, 217}, {600, 120}, {120, 300}};
    const std::pair<double, double> pairs[] = {{931, 400}, {0, 100}, {1, 2000},
                                               {1863, 0},  {0, 0},   {123456, 1}};
    for (const SeriesKind kind : {SeriesKind::Pie, SeriesKind::HorizBar, SeriesKind::Bar}) {
        for (const bool view3D : {false, true}) {
            for (const QSize size : sizes) {
                for (const auto &[used, free] : pairs) {
                    DriveChart drive(used, free, kind, view3D, size);
                    const ChartGeometry geometry = drive.chart.Geometry();
                    const QRectF widget(QPointF(0, 0), size);
                    ASSERT_EQ(geometry.marks.size(), 2u);
                    for (const MarkGeometry &mark : geometry.marks) {
                        EXPECT_TRUE(widget.contains(mark.box))
                            << kindName(kind) << (view3D ? " 3D " : " 2D ") << size.width() << "x"
                            << size.height() << " " << used << "/" << free;
                    }
                    EXPECT_FALSE(geometry.marks[0].box.intersects(geometry.marks[1].box))
                        << kindName(kind) << " marks overlap at " << size.width() << "x"
                        << size.height() << " " << used << "/" << free;
                }
            }
        }
    }
}

TEST(ChartGeometry, PieStaysRoundWhateverTheProportions)
{
    for (const QSize size : {QSize(301, 247), QSize(600, 150), QSize(150, 400)}) {
        DriveChart flat(931, 400, SeriesKind::Pie, false, size);
        const QRectF top = flat.chart.Geometry().pieTop;
        EXPECT_NEAR(top.width(), top.height(), 1e-9) << size.width() << "x" << size.height();
        EXPECT_EQ(flat.chart.Geometry().pieDepth, 0);

        // In 3D the disc is seen from 45 degrees above: its outline is flattened by sin 45 and
        // its rim shows below it.
        DriveChart tilted(931, 400, SeriesKind::Pie, true, size);
        const ChartGeometry geometry = tilted.chart.Geometry();
        EXPECT_NEAR(geometry.pieTop.height() / geometry.pieTop.width(),
                    std::sin(std::numbers::pi / 4), 1e-9);
        EXPECT_GT(geometry.pieDepth, 0);
    }
}

TEST(ChartGeometry, BarsFromACommonZeroLineInPointOrder)
{
    for (const bool view3D : {false, true}) {
        DriveChart horizontal(931, 400, SeriesKind::HorizBar, view3D);
        const ChartGeometry h = horizontal.chart.Geometry();
        ASSERT_EQ(h.bars.size(), 2u);
        EXPECT_GT(h.bars[0].front.center().y(), h.bars[1].front.center().y()) << "occupied below";
        EXPECT_EQ(h.bars[0].front.left(), h.bars[1].front.left());
        EXPECT_NEAR(h.bars[0].front.width() / h.bars[1].front.width(), 931 / 400.0, 1e-9);
        EXPECT_EQ(h.bars[0].top.isEmpty(), !view3D);

        DriveChart vertical(931, 400, SeriesKind::Bar, view3D);
        const ChartGeometry v = vertical.chart.Geometry();
        ASSERT_EQ(v.bars.size(), 2u);
        EXPECT_LT(v.bars[0].front.center().x(), v.bars[1].front.center().x()) << "occupied left";
        EXPECT_EQ(v.bars[0].front.bottom(), v.bars[1].front.bottom());
        EXPECT_NEAR(v.bars[0].front.height() / v.bars[1].front.height(), 931 / 400.0, 1e-9);
        // marks above the bars
        EXPECT_LE(v.marks[0].box.bottom(), v.bars[0].front.top());
        EXPECT_LE(v.marks[1].box.bottom(), v.bars[1].front.top());
    }
    DriveChart full(1863, 0, SeriesKind::Bar, true);
    EXPECT_TRUE(full.chart.Geometry().bars[1].front.isEmpty());
    EXPECT_TRUE(full.chart.Geometry().bars[1].top.isEmpty());
}

TEST(ChangeSeriesKind, SameKindKeepsTheSeries)
{
    DriveChart drive(931, 400, SeriesKind::Pie, true);
    TChartSeries *before = drive.series;
    ChangeSeriesKind(drive.series, SeriesKind::Pie);
    EXPECT_EQ(drive.series, before);
    EXPECT_EQ(drive.chart.SeriesList().front(), before);
}

TEST(ChangeSeriesKind, OtherKindReplacesTheSeriesAndKeepsItsContent)
{
    TDBChart chart;
    chart.SetCaption(QStringLiteral("Laufwerksbelegung D:\\"));
    chart.SetView3D(false);
    TChartSeries *series = new TPieSeries(&chart);
    series->setObjectName(QStringLiteral("Series1"));
    series->Title = QStringLiteral("Serie1");
    series->MarksArrowHead = true;
    series->Add(531, QStringLiteral("GB belegt"), blue);
    series->Add(400, QStringLiteral("GB frei"), fuchsia);
    QPointer<TChartSeries> old = series;

    for (const SeriesKind kind : {SeriesKind::HorizBar, SeriesKind::Bar, SeriesKind::Pie}) {
        ChangeSeriesKind(series, kind);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(old.isNull()) << kindName(kind);
        ASSERT_EQ(series->kind(), kind);
        ASSERT_EQ(chart.SeriesList().size(), 1u);
        EXPECT_EQ(chart.SeriesList().front(), series);
        EXPECT_EQ(series->ParentChart(), &chart);
        EXPECT_EQ(series->objectName(), QStringLiteral("Series1"));
        EXPECT_EQ(series->Title, QStringLiteral("Serie1"));
        EXPECT_TRUE(series->MarksVisible);
        EXPECT_TRUE(series->MarksArrowHead);
        ASSERT_EQ(series->points().size(), 2u);
        EXPECT_EQ(series->points()[0].value, 531);
        EXPECT_EQ(series->points()[0].label, QStringLiteral("GB belegt"));
        EXPECT_EQ(series->points()[0].color, blue);
        EXPECT_EQ(series->points()[1].value, 400);
        EXPECT_EQ(series->points()[1].color, fuchsia);
        EXPECT_EQ(chart.Caption(), QStringLiteral("Laufwerksbelegung D:\\"));
        EXPECT_FALSE(chart.View3D());
        old = series;
    }

    // A series destroyed on its own leaves the chart, which then shows its title alone.
    delete series;
    EXPECT_TRUE(chart.SeriesList().empty());
    chart.resize(301, 247);
    EXPECT_FALSE(chart.grab().isNull());
    EXPECT_EQ(chart.accessibleDescription(), QString());
}

TEST(ChartRendering, EachPointInItsOwnColourOnAWhiteBackground)
{
    for (const SeriesKind kind : {SeriesKind::Pie, SeriesKind::HorizBar, SeriesKind::Bar}) {
        for (const bool view3D : {false, true}) {
            for (const qreal ratio : {1.0, 2.0}) {
                DriveChart drive(931, 400, kind, view3D);
                const QImage image = drive.render(ratio);
                const ChartGeometry geometry = drive.chart.Geometry();
                const auto where = [&](size_t i) {
                    return kind == SeriesKind::Pie ? insideSlice(geometry, i)
                                                   : geometry.bars[i].front.center();
                };
                const std::string name = std::string(kindName(kind)) + (view3D ? " 3D" : " 2D") +
                                         " at ratio " + std::to_string(ratio);
                EXPECT_EQ(colourAt(image, where(0)), blue) << name;
                EXPECT_EQ(colourAt(image, where(1)), fuchsia) << name;
                EXPECT_EQ(colourAt(image, QPointF(1, 245)), QColor(Qt::white)) << name;
                EXPECT_EQ(colourAt(image, QPointF(299, 245)), QColor(Qt::white)) << name;
                EXPECT_EQ(colourAt(image, QPointF(299, 1)), QColor(Qt::white)) << name;
            }
        }
    }
}

TEST(ChartRendering, ThreeDimensionalPieShowsADarkerRim)
{
    DriveChart drive(931, 400, SeriesKind::Pie, true);
    const QImage image = drive.render();
    const ChartGeometry geometry = drive.chart.Geometry();
    // Straight below the centre, half way down the rim: the occupied slice runs clockwise from
    // twelve o'clock past six, so the rim there is the occupied one's, darker than its top.
    const QPointF rim = EllipsePoint(geometry.pieTop, 270) + QPointF(0, geometry.pieDepth / 2);
    const QColor colour = colourAt(image, rim);
    EXPECT_EQ(colour.red(), 0);
    EXPECT_EQ(colour.green(), 0);
    EXPECT_GT(colour.blue(), 60);
    EXPECT_LT(colour.blue(), 220);
}

TEST(ChartRendering, ZeroValueDrawsNothingOfItsColour)
{
    for (const SeriesKind kind : {SeriesKind::Pie, SeriesKind::HorizBar, SeriesKind::Bar}) {
        DriveChart drive(1863, 0, kind, true);
        const QImage image = drive.render();
        int fuchsiaPixels = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                fuchsiaPixels += image.pixelColor(x, y) == fuchsia;
        }
        EXPECT_EQ(fuchsiaPixels, 0) << kindName(kind);
    }
}

TEST(ChartRendering, LegendListsThePointsInOrder)
{
    DriveChart drive(882, 1912, SeriesKind::Pie, true, {397, 217});
    drive.chart.SetLegendVisible(true);
    const QImage image = drive.render();
    const ChartGeometry geometry = drive.chart.Geometry();
    ASSERT_EQ(geometry.legendSquares.size(), 2u);
    EXPECT_LT(geometry.legendSquares[0].top(), geometry.legendSquares[1].top());
    EXPECT_EQ(colourAt(image, geometry.legendSquares[0].center()), blue);
    EXPECT_EQ(colourAt(image, geometry.legendSquares[1].center()), fuchsia);
    EXPECT_LE(geometry.pieTop.right(), geometry.legend.left());
}

namespace {

class CountingChart : public TDBChart
{
public:
    int paints = 0;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        ++paints;
        TDBChart::paintEvent(event);
    }
};

} // namespace

TEST(ChartRendering, SettingView3DToItsValueRepaintsNothing)
{
    CountingChart chart;
    chart.resize(301, 247);
    new TPieSeries(&chart);
    chart.show();
    QCoreApplication::processEvents();
    chart.repaint();
    const int before = chart.paints;
    ASSERT_GT(before, 0);

    chart.SetView3D(true);
    QCoreApplication::processEvents();
    EXPECT_EQ(chart.paints, before);

    chart.SetView3D(false);
    QCoreApplication::processEvents();
    EXPECT_GT(chart.paints, before);
}

namespace {

// The largest difference in any channel between two images of one size, and how many pixels
// differ at all.
std::pair<int, int> difference(const QImage &a, const QImage &b)
{
    int largest = 0;
    int pixels = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QColor p = a.pixelColor(x, y);
            const QColor q = b.pixelColor(x, y);
            const int most = std::max({std::abs(p.red() - q.red()), std::abs(p.green() - q.green()),
                                       std::abs(p.blue() - q.blue())});
            largest = std::max(largest, most);
            pixels += most > 0;
        }
    }
    return {largest, pixels};
}

// The chart as drawn with no picture kept.
QImage drawnStraight(DriveChart &drive, qreal ratio)
{
    const int limit = QPixmapCache::cacheLimit();
    QPixmapCache::setCacheLimit(0);
    const QImage image = drive.render(ratio);
    QPixmapCache::setCacheLimit(limit);
    return image;
}

} // namespace

TEST(ChartRendering, AKeptPieLooksAsTheOneDrawnStraight)
{
    for (const bool view3D : {false, true}) {
        for (const qreal ratio : {1.0, 2.0}) {
            for (const double free : {400.0, 0.0}) {
                SCOPED_TRACE(std::string(view3D ? "3D" : "2D") + " at ratio " +
                             std::to_string(ratio) + " with " + std::to_string(free) + " free");
                DriveChart drive(931, free, SeriesKind::Pie, view3D);
                const QImage straight = drawnStraight(drive, ratio);
                QPixmapCache::clear();
                drive.render(ratio); // drawn, and marked as seen
                drive.render(ratio); // drawn into the kept picture
                QPixmap picture;
                EXPECT_TRUE(QPixmapCache::find(
                    KeptPieKey(drive.chart.Geometry(), drive.series->points(), ratio), &picture));
                EXPECT_EQ(picture.devicePixelRatio(), ratio);
                const QImage kept = drive.render(ratio);
                const auto [largest, pixels] = difference(straight, kept);
                // Blending the antialiased edges twice may round a step or two differently,
                // and only there.
                EXPECT_LE(largest, 2);
                EXPECT_LT(pixels, straight.width() * straight.height() / 100);
            }
        }
    }
}

TEST(ChartRendering, NewFiguresNeverShowAKeptPie)
{
    QPixmapCache::clear();
    DriveChart drive(931, 400, SeriesKind::Pie, true);
    for (int i = 0; i < 3; ++i)
        drive.render();
    drive.series->Clear();
    drive.series->Add(400, QStringLiteral("GB belegt"), blue);
    drive.series->Add(931, QStringLiteral("GB frei"), fuchsia);
    const QImage image = drive.render();
    const auto [largest, pixels] = difference(drawnStraight(drive, 1), image);
    EXPECT_EQ(largest, 0) << "the new pie, drawn afresh";
    EXPECT_EQ(pixels, 0);

    // Another chart of another size with the figures of the kept one draws its own pie.
    DriveChart smaller(931, 400, SeriesKind::Pie, true, {232, 180});
    const QImage other = smaller.render();
    EXPECT_EQ(difference(drawnStraight(smaller, 1), other).first, 0);
}
