#include "chart.h"

#include "accessible.h"
#include "fonts.h"
#include "number_format.h"

#include <QAccessibleWidget>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPixmapCache>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double markPadding = 3;
constexpr double legendSquare = 10; // as the layout places it
constexpr double legendGap = 5;

QFont titleFont()
{
    return DeclaredFont(QStringLiteral("Arial"), 11, true);
}

QFont markFont()
{
    return DeclaredFont(QStringLiteral("Arial"), 11);
}

QString valueText(double value)
{
    return QString::fromStdString(FormatChartValue(value));
}

QSizeF markSize(const QFontMetricsF &metrics, double value)
{
    return {metrics.horizontalAdvance(valueText(value)) + 2 * markPadding, metrics.height() + 2};
}

struct LegendColumns
{
    double value = 0;
    double label = 0;
};

LegendColumns legendColumns(const QFontMetricsF &metrics, const TChartSeries &series)
{
    LegendColumns columns;
    for (const TChartSeries::Point &point : series.points()) {
        columns.value = std::max(columns.value, metrics.horizontalAdvance(valueText(point.value)));
        columns.label = std::max(columns.label, metrics.horizontalAdvance(point.label));
    }
    return columns;
}

void drawArrowHead(QPainter &painter, QPointF tip, QPointF from)
{
    const QPointF direction = tip - from;
    const double length = std::hypot(direction.x(), direction.y());
    if (length < 1)
        return;
    const QPointF unit = direction / length;
    const QPointF normal(-unit.y(), unit.x());
    const double size = std::min(5.0, length / 2);
    QPolygonF head;
    head << tip << tip - unit * size + normal * size / 2 << tip - unit * size - normal * size / 2;
    painter.save();
    painter.setBrush(painter.pen().color());
    painter.drawPolygon(head);
    painter.restore();
}

// Announced as a chart, with its title as the name and its figures as the description.
QAccessibleInterface *chartAccessible(const QString &, QObject *object)
{
    if (auto *chart = qobject_cast<TDBChart *>(object))
        return new QAccessibleWidget(chart, QAccessible::Chart);
    return nullptr;
}

void drawPie(QPainter &painter, const ChartGeometry &geometry,
             const std::vector<TChartSeries::Point> &points)
{
    bool anySlice = false;
    for (size_t i = 0; i < geometry.slices.size(); ++i) {
        const QColor side = points[i].color.darker(160);
        painter.setPen(QPen(side.darker(130), 0.8));
        painter.setBrush(side);
        for (const QPolygonF &rim : geometry.slices[i].rim)
            painter.drawPolygon(rim);
    }
    for (size_t i = 0; i < geometry.slices.size(); ++i) {
        const SliceGeometry &slice = geometry.slices[i];
        if (slice.spanAngle == 0)
            continue;
        anySlice = true;
        painter.setPen(QPen(points[i].color.darker(170), 0.8));
        painter.setBrush(points[i].color);
        if (std::abs(slice.spanAngle) >= 360) {
            painter.drawEllipse(geometry.pieTop); // no seam for a slice that is all
            continue;
        }
        QPainterPath path(geometry.pieTop.center());
        path.arcTo(geometry.pieTop, slice.startAngle, slice.spanAngle);
        path.closeSubpath();
        painter.drawPath(path);
    }
    if (!anySlice) {
        // Nothing to share out: the outline of an empty pie.
        painter.setPen(QPen(Qt::gray, 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(geometry.pieTop);
    }
}

// Where a kept pie goes: the top face and the rims, with room for the outlines.
QRect keptPieArea(const ChartGeometry &geometry)
{
    QRectF bounds = geometry.pieTop;
    for (const SliceGeometry &slice : geometry.slices) {
        for (const QPolygonF &rim : slice.rim)
            bounds = bounds.united(rim.boundingRect());
    }
    return bounds.toAlignedRect().adjusted(-2, -2, 2, 2);
}

// The pie of a chart, kept in Qt's pixmap cache for its place, size and figures. A refresh
// makes new charts with the same figures, and the antialiased slices and rims are most of a
// chart's painting. A pie is kept only when it is asked for a second time, so a start-up and
// a chart whose figures change draw straight onto the chart, without the extra picture. With
// the cache turned off (a limit of 0) every pie is drawn straight.
void drawPieKept(QPainter &painter, const ChartGeometry &geometry,
                 const std::vector<TChartSeries::Point> &points)
{
    // A kept picture fits only where the chart is drawn at the device's own scale and moved by
    // whole pixels.
    const QTransform &transform = painter.deviceTransform();
    const qreal ratio = transform.m11(); // device pixels per pixel of the chart
    const bool keepable =
        QPixmapCache::cacheLimit() > 0 && transform.type() <= QTransform::TxScale && ratio > 0 &&
        transform.m22() == ratio && transform.dx() == std::round(transform.dx()) &&
        transform.dy() == std::round(transform.dy());
    if (!keepable) {
        drawPie(painter, geometry, points);
        return;
    }
    const QString key = KeptPieKey(geometry, points, ratio);
    QPixmap pie;
    if (QPixmapCache::find(key, &pie)) {
        painter.drawPixmap(keptPieArea(geometry).topLeft(), pie);
        return;
    }
    // The first time, only a mark that this pie was drawn.
    const QString seen = key + QLatin1Char('?');
    QPixmap mark;
    if (!QPixmapCache::find(seen, &mark)) {
        mark = QPixmap(1, 1);
        QPixmapCache::insert(seen, mark);
        drawPie(painter, geometry, points);
        return;
    }
    const QRect area = keptPieArea(geometry);
    pie = QPixmap(area.size() * ratio);
    pie.setDevicePixelRatio(ratio);
    pie.fill(Qt::transparent);
    QPainter onPie(&pie);
    onPie.setRenderHint(QPainter::Antialiasing);
    onPie.translate(-area.topLeft());
    drawPie(onPie, geometry, points);
    onPie.end();
    QPixmapCache::insert(key, pie);
    painter.drawPixmap(area.topLeft(), pie);
}
} // namespace

QString KeptPieKey(const ChartGeometry &geometry, const std::vector<TChartSeries::Point> &points,
                   qreal ratio)
{
    QByteArray key("volumo-pie");
    const auto add = [&key](double value) {
        key.append(reinterpret_cast<const char *>(&value), sizeof value);
    };
    add(ratio);
    add(geometry.pieTop.x());
    add(geometry.pieTop.y());
    add(geometry.pieTop.width());
    add(geometry.pieTop.height());
    for (size_t i = 0; i < geometry.slices.size(); ++i) {
        const SliceGeometry &slice = geometry.slices[i];
        add(slice.startAngle);
        add(slice.spanAngle);
        add(static_cast<double>(points[i].color.rgba()));
        for (const QPolygonF &rim : slice.rim) {
            add(static_cast<double>(rim.size()));
            for (const QPointF &point : rim) {
                add(point.x());
                add(point.y());
            }
        }
    }
    return QString::fromLatin1(key); // every byte a character, none lost
}

TChartSeries::TChartSeries(TDBChart *chart) : QObject(chart), chart(chart)
{
    if (chart) {
        chart->seriesList.push_back(this);
        chart->update();
    }
}

TChartSeries::~TChartSeries()
{
    if (chart) {
        std::erase(chart->seriesList, this);
        chart->describeForAccessibility();
        chart->update();
    }
}

TDBChart *TChartSeries::ParentChart() const
{
    return chart;
}

void TChartSeries::changed()
{
    if (TDBChart *chart = ParentChart()) {
        chart->describeForAccessibility();
        chart->update();
    }
}

void TChartSeries::Clear()
{
    pointList.clear();
    changed();
}

int TChartSeries::Add(double AValue, const QString &ALabel, const QColor &AColor)
{
    pointList.push_back({AValue, ALabel, AColor});
    changed();
    return static_cast<int>(pointList.size()) - 1;
}

void ChangeSeriesKind(TChartSeries *&series, SeriesKind kind)
{
    if (!series || series->kind() == kind)
        return;
    TDBChart *chart = series->ParentChart();
    TChartSeries *replacement = nullptr;
    switch (kind) {
    case SeriesKind::Pie:
        replacement = new TPieSeries(nullptr);
        break;
    case SeriesKind::HorizBar:
        replacement = new THorizBarSeries(nullptr);
        break;
    case SeriesKind::Bar:
        replacement = new TBarSeries(nullptr);
        break;
    }
    replacement->setObjectName(series->objectName());
    replacement->Title = series->Title;
    replacement->MarksVisible = series->MarksVisible;
    replacement->MarksArrowHead = series->MarksArrowHead;
    replacement->pointList = series->pointList;

    if (chart) {
        replacement->setParent(chart);
        replacement->chart = chart;
        std::replace(chart->seriesList.begin(), chart->seriesList.end(), series, replacement);
        series->chart = nullptr;
        chart->describeForAccessibility();
        chart->update();
    }
    delete series;
    series = replacement;
}

TDBChart::TDBChart(QWidget *parent) : QWidget(parent)
{
    InstallAccessibleFactoryOnce<chartAccessible>();
    setAttribute(Qt::WA_OpaquePaintEvent);
}

TDBChart::~TDBChart()
{
    // The series go with their chart and need not leave its list one by one.
    for (TChartSeries *series : seriesList) {
        series->chart = nullptr;
        delete series;
    }
}

void TDBChart::SetCaption(const QString &text)
{
    // The title holds exactly one line.
    QString line = text;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    if (line == caption)
        return;
    caption = line;
    describeForAccessibility();
    update();
}

void TDBChart::describeForAccessibility()
{
    // A screen reader reads the title as the name and the figures as the description:
    // "531 GB belegt, 400 GB frei".
    setAccessibleName(caption);
    QStringList figures;
    if (!seriesList.empty()) {
        for (const TChartSeries::Point &point : seriesList.front()->points())
            figures << valueText(point.value) + QLatin1Char(' ') + point.label;
    }
    setAccessibleDescription(figures.join(QStringLiteral(", ")));
}

void TDBChart::SetView3D(bool on)
{
    if (on == view3D)
        return;
    view3D = on;
    update();
}

void TDBChart::SetView3DOptions(const View3DSettings &view)
{
    options = view;
    update();
}

void TDBChart::SetLegendVisible(bool visible)
{
    if (visible == legendVisible)
        return;
    legendVisible = visible;
    update();
}

QSize TDBChart::sizeHint() const
{
    return {301, 247};
}

ChartGeometry TDBChart::Geometry() const
{
    ChartLayoutInput input;
    input.size = size();
    input.view3D = view3D;
    input.options = options;
    if (!caption.isEmpty())
        input.titleHeight = QFontMetricsF(titleFont()).height();

    const TChartSeries *series = seriesList.empty() ? nullptr : seriesList.front();
    if (series) {
        const QFontMetricsF metrics(markFont());
        input.kind = series->kind();
        for (const TChartSeries::Point &point : series->points()) {
            input.values.push_back(point.value);
            if (series->MarksVisible)
                input.markSizes.push_back(markSize(metrics, point.value));
        }
        if (legendVisible && !series->points().empty()) {
            const LegendColumns columns = legendColumns(metrics, *series);
            input.legendRowHeight = metrics.height();
            input.legendSize = QSizeF(
                legendGap + legendSquare + legendGap + columns.value + legendGap + columns.label +
                    legendGap,
                2 * legendGap + metrics.height() * static_cast<double>(series->points().size()));
        }
    }
    return LayoutChart(input);
}

void TDBChart::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.fillRect(rect(), Qt::white);

    const ChartGeometry geometry = Geometry();
    if (!caption.isEmpty()) {
        painter.setFont(titleFont());
        painter.setPen(Qt::black);
        const QFontMetricsF metrics(titleFont());
        painter.drawText(geometry.title, Qt::AlignHCenter | Qt::AlignTop,
                         metrics.elidedText(caption, Qt::ElideRight, geometry.title.width()));
    }
    if (seriesList.empty())
        return;
    const TChartSeries &series = *seriesList.front();
    const std::vector<TChartSeries::Point> &points = series.points();

    if (series.kind() == SeriesKind::Pie) {
        drawPieKept(painter, geometry, points);
    } else {
        for (size_t i = 0; i < geometry.bars.size(); ++i) {
            const BarGeometry &bar = geometry.bars[i];
            if (bar.front.isEmpty())
                continue;
            const QColor colour = points[i].color;
            painter.setPen(QPen(colour.darker(170), 0.8));
            painter.setBrush(colour);
            painter.drawRect(bar.front);
            if (!bar.top.isEmpty()) {
                painter.setBrush(colour.lighter(150));
                painter.drawPolygon(bar.top);
                painter.setBrush(colour.darker(160));
                painter.drawPolygon(bar.side);
            }
        }
    }

    painter.setFont(markFont());
    for (size_t i = 0; i < geometry.marks.size(); ++i) {
        const MarkGeometry &mark = geometry.marks[i];
        painter.setPen(QPen(QColor(64, 64, 64), 1));
        painter.drawLine(mark.joint, mark.anchor);
        if (series.MarksArrowHead)
            drawArrowHead(painter, mark.anchor, mark.joint);
        painter.setBrush(QColor(255, 255, 225));
        painter.setPen(QPen(QColor(128, 128, 128), 1));
        const QRectF box = mark.box.adjusted(0.5, 0.5, -0.5, -0.5);
        painter.drawRect(box);
        painter.setPen(Qt::black);
        painter.drawText(mark.box, Qt::AlignCenter, valueText(points[i].value));
    }

    if (!geometry.legend.isEmpty()) {
        const QFontMetricsF metrics(markFont());
        const LegendColumns columns = legendColumns(metrics, series);
        painter.setPen(QPen(QColor(128, 128, 128), 1));
        painter.setBrush(Qt::white);
        painter.drawRect(geometry.legend.adjusted(0.5, 0.5, -0.5, -0.5));
        for (size_t i = 0; i < points.size() && i < geometry.legendSquares.size(); ++i) {
            const TChartSeries::Point &point = points[i];
            const QRectF &square = geometry.legendSquares[i];
            const double rowTop = square.center().y() - metrics.height() / 2;
            painter.setPen(QPen(Qt::black, 1));
            painter.setBrush(point.color);
            painter.drawRect(square);
            const QRectF value(square.right() + legendGap, rowTop, columns.value, metrics.height());
            painter.drawText(value, Qt::AlignRight | Qt::AlignVCenter, valueText(point.value));
            const QRectF label(value.right() + legendGap, rowTop, columns.label, metrics.height());
            painter.drawText(label, Qt::AlignLeft | Qt::AlignVCenter, point.label);
        }
    }
}
