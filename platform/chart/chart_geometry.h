#pragma once

#include <QPointF>
#include <QPolygonF>
#include <QRectF>
#include <QSizeF>

#include <vector>

enum class SeriesKind { Pie, HorizBar, Bar };

// How a 3D chart is seen: from Elevation degrees (315 = 45 degrees from above), turned by
// Rotation (360 = not turned), in a parallel view without perspective; Zoom in percent enlarges
// the plot.
struct View3DSettings
{
    int Elevation = 315;
    int Rotation = 360;
    int Zoom = 100;
};

// Everything the layout needs to know, measured beforehand: no fonts, no painting.
struct ChartLayoutInput
{
    QSizeF size;
    SeriesKind kind = SeriesKind::Pie;
    bool view3D = true;
    View3DSettings options;
    std::vector<double> values;
    std::vector<QSizeF> markSizes; // one per value; empty when the marks are hidden
    double titleHeight = 0;        // 0 without a title
    QSizeF legendSize;             // empty without a legend
    double legendRowHeight = 0;    // one row per value
};

struct SliceGeometry
{
    double startAngle = 0;      // degrees, counterclockwise from three o'clock, as QPainterPath
    double spanAngle = 0;       // negative: the slices run clockwise
    std::vector<QPolygonF> rim; // the visible parts of the slice's edge in 3D
};

struct BarGeometry
{
    QRectF front;   // empty for a value of 0
    QPolygonF top;  // 3D only: the lit top face
    QPolygonF side; // 3D only: the darker side face
};

struct MarkGeometry
{
    QPointF anchor; // on the slice or bar
    QPointF joint;  // where the line meets the box
    QRectF box;
};

struct ChartGeometry
{
    QRectF title;
    QRectF plot;
    QRectF legend;
    std::vector<QRectF> legendSquares; // the colour square of each row, in the order of the values
    QRectF pieTop;                     // the ellipse of the pie's top face
    double pieDepth = 0;               // the rim's height on screen, 0 in 2D
    std::vector<SliceGeometry> slices;
    std::vector<BarGeometry> bars;
    std::vector<MarkGeometry> marks;
};

// Start and span of each slice: shares of the sum of the values, the first slice from twelve
// o'clock, clockwise, in the order given. A value of 0 (or below) gets a span of 0.
std::vector<SliceGeometry> PieAngles(const std::vector<double> &values, double startAngle = 90);

// The point of an ellipse at a parametric angle, as QPainterPath::arcTo reaches it.
QPointF EllipsePoint(const QRectF &ellipse, double degrees);

ChartGeometry LayoutChart(const ChartLayoutInput &input);
