#include "chart_geometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double margin = 3; // between the widget's edge and anything drawn
constexpr double legendPadding = 5;
constexpr double barShare = 0.7;  // of its slot a bar fills
constexpr double rimShare = 0.22; // rim height on screen, in radii of the pie

double radians(double degrees)
{
    return degrees * std::numbers::pi / 180;
}

// How far the view looks down on the plot: 90 degrees for 2D (straight from above for a pie,
// straight from the front for bars), the elevation's complement in 3D.
double tiltOf(const ChartLayoutInput &input)
{
    if (!input.view3D)
        return 90;
    const int elevation = ((input.options.Elevation % 360) + 360) % 360;
    if (elevation > 270)
        return 360 - elevation;
    return 90;
}

QSizeF largestMark(const std::vector<QSizeF> &sizes)
{
    QSizeF largest(0, 0);
    for (const QSizeF &size : sizes)
        largest = largest.expandedTo(size);
    return largest;
}

// Moves a box inside `area` as far as it fits; a box larger than the area keeps its top-left
// corner inside.
QRectF clampInto(QRectF box, const QRectF &area)
{
    if (box.right() > area.right())
        box.moveRight(area.right());
    if (box.bottom() > area.bottom())
        box.moveBottom(area.bottom());
    if (box.left() < area.left())
        box.moveLeft(area.left());
    if (box.top() < area.top())
        box.moveTop(area.top());
    return box;
}

// Later marks give way to earlier ones: up or down, whichever side they already lean to, and
// sideways when the area has no room left in that direction.
void separateMarks(std::vector<MarkGeometry> &marks, const QRectF &area)
{
    for (size_t i = 1; i < marks.size(); ++i) {
        for (size_t j = 0; j < i; ++j) {
            const QRectF &other = marks[j].box;
            QRectF &box = marks[i].box;
            if (!box.intersects(other))
                continue;
            const bool down = box.center().y() >= other.center().y();
            QRectF moved = box;
            if (down)
                moved.moveTop(other.bottom() + 1);
            else
                moved.moveBottom(other.top() - 1);
            moved = clampInto(moved, area);
            if (moved.intersects(other)) {
                moved = box;
                if (box.center().x() >= other.center().x())
                    moved.moveLeft(other.right() + 1);
                else
                    moved.moveRight(other.left() - 1);
                moved = clampInto(moved, area);
            }
            box = moved;
        }
    }
    for (MarkGeometry &mark : marks) {
        // The line still ends on the box after it moved.
        mark.joint.setX(std::clamp(mark.joint.x(), mark.box.left(), mark.box.right()));
        mark.joint.setY(std::clamp(mark.joint.y(), mark.box.top(), mark.box.bottom()));
    }
}

std::vector<QPolygonF> rimOf(const QRectF &top, double depth, double from, double to)
{
    // The front half of the disc is where the parametric angle lies in (180, 360) modulo 360;
    // `from` < `to` span at most one turn, so at most two pieces of it show.
    std::vector<QPolygonF> pieces;
    for (int turn = -2; turn <= 1; ++turn) {
        const double lo = std::max(from, 180.0 + 360 * turn);
        const double hi = std::min(to, 360.0 + 360 * turn);
        if (hi - lo <= 1e-9)
            continue;
        QPolygonF polygon;
        const int steps = std::max(2, static_cast<int>(std::ceil((hi - lo) / 3)));
        for (int i = 0; i <= steps; ++i)
            polygon << EllipsePoint(top, lo + (hi - lo) * i / steps);
        for (int i = steps; i >= 0; --i)
            polygon << EllipsePoint(top, lo + (hi - lo) * i / steps) + QPointF(0, depth);
        pieces.push_back(polygon);
    }
    return pieces;
}

void layoutPie(const ChartLayoutInput &input, ChartGeometry &geometry, const QRectF &markArea)
{
    const QRectF plot = geometry.plot;
    const QSizeF mark = largestMark(input.markSizes);
    const double leader = std::clamp(std::min(plot.width(), plot.height()) * 0.06, 2.0, 10.0);
    const double flatten = std::sin(radians(tiltOf(input)));
    const double rimFactor = input.view3D ? rimShare : 0;

    // Room for the marks all around, or only left and right where the chart is too low for
    // marks above and below: whichever leaves the larger pie. Zoom enlarges it but never past
    // the plot.
    const double markWidth = mark.width() > 0 ? mark.width() + leader : 0;
    const double markHeight = mark.height() > 0 ? mark.height() + leader : 0;
    const double discHeight = 2 * flatten + rimFactor; // in radii
    const double around =
        std::min((plot.width() - 2 * markWidth) / 2, (plot.height() - 2 * markHeight) / discHeight);
    const double beside =
        std::min((plot.width() - 2 * markWidth - 2 * leader) / 2, plot.height() / discHeight);
    const bool marksBeside = beside > around;
    const double fits = std::min(plot.width() / 2, plot.height() / discHeight);
    double radius = std::max(around, beside) * input.options.Zoom / 100.0;
    radius = std::max(2.0, std::min(radius, fits));

    const double depth = radius * rimFactor;
    const double height = 2 * radius * flatten + depth;
    const QPointF centre(plot.center().x(),
                         plot.top() + (plot.height() - height) / 2 + radius * flatten);
    geometry.pieTop = QRectF(centre.x() - radius, centre.y() - radius * flatten, 2 * radius,
                             2 * radius * flatten);
    geometry.pieDepth = depth;

    const double rotation = input.options.Rotation % 360;
    geometry.slices = PieAngles(input.values, 90 + rotation);
    for (SliceGeometry &slice : geometry.slices) {
        if (depth > 0 && slice.spanAngle != 0)
            slice.rim =
                rimOf(geometry.pieTop, depth, slice.startAngle + slice.spanAngle, slice.startAngle);
    }

    for (size_t i = 0; i < input.markSizes.size() && i < geometry.slices.size(); ++i) {
        const SliceGeometry &slice = geometry.slices[i];
        const double middle = slice.startAngle + slice.spanAngle / 2;
        const double c = std::cos(radians(middle));
        const double s = std::sin(radians(middle));
        const bool front = s < 0;
        MarkGeometry geometryOfMark;
        geometryOfMark.anchor =
            EllipsePoint(geometry.pieTop, middle) + QPointF(0, front ? depth / 2 : 0);
        geometryOfMark.joint = geometryOfMark.anchor + QPointF(leader * c, -leader * s);

        QRectF box(QPointF(0, 0), input.markSizes[i]);
        if (marksBeside) {
            // Marks straight left or right of the disc; one at the very top or bottom goes to
            // the side its neighbour does not take.
            const bool right = std::abs(c) > 0.05 ? c > 0 : i % 2 == 0;
            const double x = centre.x() + (right ? 1 : -1) * (radius + leader);
            geometryOfMark.joint = QPointF(x, geometryOfMark.anchor.y());
            box.moveCenter(geometryOfMark.joint);
            if (right)
                box.moveLeft(x);
            else
                box.moveRight(x);
        } else {
            box.moveCenter(geometryOfMark.joint);
            if (c > 0.3)
                box.moveLeft(geometryOfMark.joint.x());
            else if (c < -0.3)
                box.moveRight(geometryOfMark.joint.x());
            if (s > 0.3)
                box.moveBottom(geometryOfMark.joint.y());
            else if (s < -0.3)
                box.moveTop(geometryOfMark.joint.y());
        }
        geometryOfMark.box = clampInto(box, markArea);
        geometry.marks.push_back(geometryOfMark);
    }
}

void layoutBars(const ChartLayoutInput &input, ChartGeometry &geometry, const QRectF &markArea)
{
    const QRectF plot = geometry.plot;
    const QSizeF mark = largestMark(input.markSizes);
    const double gap = 3;
    const size_t count = input.values.size();
    if (count == 0)
        return;
    double largest = 0;
    for (const double value : input.values)
        largest = std::max(largest, value);
    const bool horizontal = input.kind == SeriesKind::HorizBar;

    // Bars lie side by side across the slots; in 3D each is a box whose depth recedes up and
    // to the right at 45 degrees, so its top and its right side show.
    const double across = horizontal ? plot.height() : plot.width();
    // Deep enough to read as a box, never so deep that a large window shows blocks.
    const double depth =
        input.view3D ? std::min(across / static_cast<double>(count) * barShare * 0.3, 16.0) : 0;
    const double dx = depth * std::numbers::sqrt2 / 2;
    const double dy = dx;
    const double slot = (across - (horizontal ? dy : dx)) / static_cast<double>(count);
    const double thickness = slot * barShare;

    const double room = horizontal
                            ? plot.width() - dx - (mark.width() > 0 ? mark.width() + gap : 0)
                            : plot.height() - dy - (mark.height() > 0 ? mark.height() + gap : 0);
    const double scale = largest > 0 ? std::max(0.0, room) / largest : 0;

    for (size_t i = 0; i < count; ++i) {
        const double length = std::max(0.0, input.values[i]) * scale;
        BarGeometry bar;
        if (horizontal) {
            // The first point lies lowest: occupied below, free above.
            const double slotTop = plot.top() + dy + static_cast<double>(count - 1 - i) * slot;
            bar.front = QRectF(plot.left(), slotTop + (slot - thickness) / 2, length, thickness);
        } else {
            // The first point stands leftmost: occupied left, free right.
            const double slotLeft = plot.left() + static_cast<double>(i) * slot;
            bar.front = QRectF(slotLeft + (slot - thickness) / 2, plot.bottom() - length, thickness,
                               length);
        }
        const QPointF back(dx, -dy);
        if (input.view3D && length > 0) {
            const QRectF &f = bar.front;
            bar.top << f.topLeft() << f.topRight() << f.topRight() + back << f.topLeft() + back;
            bar.side << f.topRight() << f.topRight() + back << f.bottomRight() + back
                     << f.bottomRight();
        }
        geometry.bars.push_back(bar);

        if (i >= input.markSizes.size())
            continue;
        MarkGeometry geometryOfMark;
        QRectF box(QPointF(0, 0), input.markSizes[i]);
        if (horizontal) {
            geometryOfMark.anchor =
                QPointF(bar.front.right() + dx / 2, bar.front.center().y() - dy / 2);
            geometryOfMark.joint = QPointF(bar.front.right() + dx + gap, geometryOfMark.anchor.y());
            box.moveLeft(geometryOfMark.joint.x());
            box.moveTop(geometryOfMark.joint.y() - box.height() / 2);
        } else {
            geometryOfMark.anchor =
                QPointF(bar.front.center().x() + dx / 2, bar.front.top() - dy / 2);
            geometryOfMark.joint = QPointF(geometryOfMark.anchor.x(), bar.front.top() - dy - gap);
            box.moveLeft(geometryOfMark.joint.x() - box.width() / 2);
            box.moveBottom(geometryOfMark.joint.y());
        }
        geometryOfMark.box = clampInto(box, markArea);
        geometry.marks.push_back(geometryOfMark);
    }
}

} // namespace

std::vector<SliceGeometry> PieAngles(const std::vector<double> &values, double startAngle)
{
    double sum = 0;
    for (const double value : values)
        sum += std::max(0.0, value);
    std::vector<SliceGeometry> slices;
    double angle = startAngle;
    for (const double value : values) {
        SliceGeometry slice;
        slice.startAngle = angle;
        slice.spanAngle = sum > 0 ? -360 * std::max(0.0, value) / sum : 0;
        angle += slice.spanAngle;
        slices.push_back(slice);
    }
    return slices;
}

QPointF EllipsePoint(const QRectF &ellipse, double degrees)
{
    const double angle = radians(degrees);
    return {ellipse.center().x() + ellipse.width() / 2 * std::cos(angle),
            ellipse.center().y() - ellipse.height() / 2 * std::sin(angle)};
}

ChartGeometry LayoutChart(const ChartLayoutInput &input)
{
    ChartGeometry geometry;
    const QRectF widget(QPointF(0, 0), input.size);
    const QRectF inner = widget.adjusted(margin, margin, -margin, -margin);
    double top = inner.top();
    if (input.titleHeight > 0) {
        geometry.title = QRectF(inner.left(), top, inner.width(), input.titleHeight);
        top += input.titleHeight + margin;
    }
    double right = inner.right();
    if (!input.legendSize.isEmpty()) {
        geometry.legend = QRectF(QPointF(0, 0), input.legendSize);
        geometry.legend.moveRight(inner.right());
        geometry.legend.moveTop(
            top + std::max(0.0, (inner.bottom() - top - input.legendSize.height()) / 2));
        right = geometry.legend.left() - 2 * margin;
        constexpr double square = 10;
        for (size_t i = 0; i < input.values.size(); ++i) {
            const double rowTop = geometry.legend.top() + legendPadding +
                                  static_cast<double>(i) * input.legendRowHeight;
            geometry.legendSquares.emplace_back(geometry.legend.left() + legendPadding,
                                                rowTop + (input.legendRowHeight - square) / 2,
                                                square, square);
        }
    }
    geometry.plot = QRectF(QPointF(inner.left(), top),
                           QPointF(std::max(inner.left(), right), std::max(top, inner.bottom())));

    // Marks may use all of the widget but the title and the legend.
    const QRectF markArea(QPointF(0, std::min(top, widget.bottom())),
                          QPointF(std::max(0.0, right + margin), widget.bottom()));
    if (input.kind == SeriesKind::Pie)
        layoutPie(input, geometry, markArea);
    else
        layoutBars(input, geometry, markArea);
    separateMarks(geometry.marks, markArea);
    return geometry;
}
