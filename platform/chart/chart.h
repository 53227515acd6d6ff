#pragma once

#include "chart_geometry.h"

#include <QColor>
#include <QObject>
#include <QString>
#include <QWidget>

#include <vector>

class TDBChart;

// One series of a chart: ordered points, each with its value, label and colour, and a mark per
// point that shows the value.
class TChartSeries : public QObject
{
    Q_OBJECT

public:
    struct Point
    {
        double value = 0;
        QString label;
        QColor color;
    };

    virtual SeriesKind kind() const = 0;

    void Clear();
    int Add(double AValue, const QString &ALabel, const QColor &AColor);
    const std::vector<Point> &points() const { return pointList; }

    TDBChart *ParentChart() const;

    QString Title;
    // Each mark shows its point's value as "###0.###" writes it (FormatChartValue).
    bool MarksVisible = true;
    bool MarksArrowHead = false; // an arrow, not a plain line, leads from a mark to its point

    // A series leaves its chart's list when it is destroyed.
    ~TChartSeries() override;

protected:
    explicit TChartSeries(TDBChart *chart);

private:
    void changed();

    TDBChart *chart = nullptr;
    std::vector<Point> pointList;
    friend class TDBChart;
    friend void ChangeSeriesKind(TChartSeries *&series, SeriesKind kind);
};

class TPieSeries : public TChartSeries
{
    Q_OBJECT

public:
    // The pie stays round whatever the chart's proportions.
    explicit TPieSeries(TDBChart *chart) : TChartSeries(chart) {}
    SeriesKind kind() const override { return SeriesKind::Pie; }
};

class THorizBarSeries : public TChartSeries
{
    Q_OBJECT

public:
    explicit THorizBarSeries(TDBChart *chart) : TChartSeries(chart) {}
    SeriesKind kind() const override { return SeriesKind::HorizBar; }
};

class TBarSeries : public TChartSeries
{
    Q_OBJECT

public:
    explicit TBarSeries(TDBChart *chart) : TChartSeries(chart) {}
    SeriesKind kind() const override { return SeriesKind::Bar; }
};

// A series of the asked kind stays as it is. Any other is replaced, at the same place in its
// chart, by a new series of that kind with the same name, title, marks and points;
// the old one is destroyed and `series` then designates the new one.
void ChangeSeriesKind(TChartSeries *&series, SeriesKind kind);

// A chart keeps the picture of its pie in Qt's pixmap cache once the same pie is drawn a
// second time (a refresh makes new charts with the same figures); this is its key: everything
// the pie's drawing reads.
QString KeptPieKey(const ChartGeometry &geometry, const std::vector<TChartSeries::Point> &points,
                   qreal ratio);

// A chart of one series: pie, horizontal or vertical bars, flat or in 3D, with a one-line title
// and, where asked for, a legend. No axes, walls or frame; the mouse neither zooms nor pans.
class TDBChart : public QWidget
{
    Q_OBJECT

public:
    explicit TDBChart(QWidget *parent = nullptr);
    ~TDBChart() override;

    QString Caption() const { return caption; }
    void SetCaption(const QString &text);

    bool View3D() const { return view3D; }
    void SetView3D(bool on);

    View3DSettings View3DOptions() const { return options; }
    void SetView3DOptions(const View3DSettings &view);

    bool LegendVisible() const { return legendVisible; }
    void SetLegendVisible(bool visible);

    const std::vector<TChartSeries *> &SeriesList() const { return seriesList; }

    // Where everything goes at the chart's present size.
    ChartGeometry Geometry() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    friend class TChartSeries;
    friend void ChangeSeriesKind(TChartSeries *&series, SeriesKind kind);

    void describeForAccessibility();

    QString caption;
    bool view3D = true;
    View3DSettings options;
    bool legendVisible = false;
    std::vector<TChartSeries *> seriesList;
};
