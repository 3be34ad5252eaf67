#pragma once
// The chart control of the results window, over Qt Charts: series by index, a left, right and
// bottom axis scaled by hand, and points appended with a label (a category on the bottom axis)
// or as X/Y pairs, each with its own colour or its series'. Category labels are thinned so that a
// few thousand days stay readable, and the labels of a value axis so that they fit its length.

#include <QChartView>
#include <QColor>
#include <QString>
#include <QStringList>
#include <vector>

class QValueAxis;
class QCategoryAxis;
class QXYSeries;

namespace kestrelan {

class CTChart : public QChartView
{
    Q_OBJECT
public:
    enum class Kind
    {
        Line,
        Points
    };
    enum class Marker
    {
        Circle,
        Square,
        Triangle
    };
    enum Axis
    {
        Left,
        Right,
        Bottom
    };

    struct SeriesLook
    {
        QString title;
        Kind kind = Kind::Line;
        QColor colour = Qt::red;
        qreal width = 1;
        bool rightAxis = false;
        Marker marker = Marker::Circle;
        qreal markerSize = 6;
        bool inLegend = true;
    };

    /// categories: the bottom axis labels points by their index (days); else it is numeric.
    CTChart(bool categories, QWidget* parent = nullptr);

    int addSeries(const SeriesLook& look);
    int seriesCount() const { return static_cast<int>(pending.size()); }
    void setAxisTitle(Axis axis, const QString& title);
    /// The title a series shows in the legend.
    void setSeriesTitle(int series, const QString& title);
    void showRightAxis(const QString& title);
    void setLegendVisible(bool visible);

    // The operations the drawings use.
    void setAutomatic(Axis axis, bool automatic);
    void setIncrement(Axis axis, double increment);
    void setMaximum(Axis axis, double maximum);
    void setMinimum(Axis axis, double minimum);
    /// A point's own colour wins over its series' colour; an invalid QColor() takes the series'.
    int addPoint(int series, double value, const QString& label, QColor colour);
    int addEmptyPoint(int series, const QString& label);
    int addXY(int series, double x, double y, const QString& label, QColor colour);
    void clear(int series);
    void clearAll();
    /// Places the chart in pixels within its parent.
    void setLayout(int left, int width, int top, int height);

    /// Hands the appended points to the chart (one update for all of them).
    void refresh();

    // For tests and the command line: what the chart holds.
    int pointCount(int series) const;
    double axisMinimum(Axis axis) const;
    double axisMaximum(Axis axis) const;
    QStringList categoryLabels() const;

private:
    QValueAxis* valueAxis(Axis axis) const;
    void applyColours();
    void thinValueLabels();

    struct Pending
    {
        QXYSeries* series = nullptr;
        QColor colour; // the series' own
        QList<QPointF> points;
        std::vector<QColor> colours; // one per point in `points`; invalid: the series'
        int count = 0;               // points appended, empty ones included
    };
    bool categories;
    std::vector<Pending> pending;
    double increments[3] = {10, 10, 10}; // as the drawing set them, by Axis
    QStringList labels;                  // one per category index
    QValueAxis* left = nullptr;
    QValueAxis* right = nullptr;
    QValueAxis* bottomValues = nullptr;
    QCategoryAxis* bottomLabels = nullptr;
};

} // namespace kestrelan
