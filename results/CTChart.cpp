#include "results/CTChart.h"

#include <QCategoryAxis>
#include <QChart>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QScatterSeries>
#include <QValueAxis>
#include <cmath>

namespace kestrelan {

namespace {

constexpr int maxCategoryLabels = 10;

QValueAxis* newValueAxis()
{
    auto* axis = new QValueAxis;
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0);
    axis->setLabelFormat("%.0f");
    return axis;
}

} // namespace

// The view is given its chart at construction: a chart set later would orphan the default one.
CTChart::CTChart(bool categories, QWidget* parent)
    : QChartView(new QChart, parent)
    , categories(categories)
{
    QChart* c = chart();
    c->setAnimationOptions(QChart::NoAnimation);
    c->setBackgroundBrush(Qt::white);
    c->legend()->setAlignment(Qt::AlignTop);
    c->setMargins(QMargins(4, 4, 4, 4));
    setRenderHint(QPainter::Antialiasing);
    left = newValueAxis();
    c->addAxis(left, Qt::AlignLeft);
    if (categories) {
        // The days are numbered; the label axis shows a thinned set of their dates.
        bottomValues = newValueAxis();
        bottomValues->setVisible(false);
        c->addAxis(bottomValues, Qt::AlignBottom);
        bottomLabels = new QCategoryAxis;
        bottomLabels->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
        bottomLabels->setGridLineVisible(false);
        c->addAxis(bottomLabels, Qt::AlignBottom);
    } else {
        bottomValues = newValueAxis();
        c->addAxis(bottomValues, Qt::AlignBottom);
    }
}

int CTChart::addSeries(const SeriesLook& look)
{
    QXYSeries* s = nullptr;
    if (look.kind == Kind::Points) {
        auto* scatter = new QScatterSeries;
        scatter->setMarkerSize(look.markerSize);
        scatter->setMarkerShape(look.marker == Marker::Square         ? QScatterSeries::MarkerShapeRectangle
                                    : look.marker == Marker::Triangle ? QScatterSeries::MarkerShapeTriangle
                                                                      : QScatterSeries::MarkerShapeCircle);
        scatter->setBorderColor(look.colour);
        s = scatter;
    } else {
        s = new QLineSeries;
    }
    s->setName(look.title);
    s->setColor(look.colour);
    if (look.kind == Kind::Line) {
        QPen pen(look.colour);
        pen.setWidthF(look.width);
        s->setPen(pen);
    }
    chart()->addSeries(s);
    if (look.rightAxis && !right) {
        right = newValueAxis();
        chart()->addAxis(right, Qt::AlignRight);
    }
    s->attachAxis(look.rightAxis ? right : left);
    s->attachAxis(bottomValues);
    if (bottomLabels)
        s->attachAxis(bottomLabels);
    if (!look.inLegend || look.title.isEmpty()) {
        const auto markers = chart()->legend()->markers(s);
        for (auto* m : markers)
            m->setVisible(false);
    }
    pending.push_back({s, {}, 0});
    return static_cast<int>(pending.size()) - 1;
}

void CTChart::setAxisTitle(Axis axis, const QString& title)
{
    if (axis == Bottom && bottomLabels)
        bottomLabels->setTitleText(title);
    else if (auto* a = valueAxis(axis))
        a->setTitleText(title);
}

void CTChart::showRightAxis(const QString& title)
{
    if (!right) {
        right = newValueAxis();
        chart()->addAxis(right, Qt::AlignRight);
    }
    right->setGridLineVisible(false);
    right->setTitleText(title);
}

void CTChart::setLegendVisible(bool visible) { chart()->legend()->setVisible(visible); }

QValueAxis* CTChart::valueAxis(Axis axis) const
{
    switch (axis) {
    case Left: return left;
    case Right: return right;
    default: return bottomValues;
    }
}

void CTChart::setAutomatic(Axis, bool)
{
    // Axes here are always scaled by hand; the call stays for the drawings' order of steps.
}

void CTChart::setIncrement(Axis axis, double increment)
{
    if (auto* a = valueAxis(axis); a && increment > 0)
        a->setTickInterval(increment);
}

void CTChart::setMaximum(Axis axis, double maximum)
{
    if (auto* a = valueAxis(axis))
        a->setMax(maximum);
}

void CTChart::setMinimum(Axis axis, double minimum)
{
    if (auto* a = valueAxis(axis)) {
        a->setMin(minimum);
        a->setTickAnchor(minimum); // the labels count their increments from the bottom
    }
}

int CTChart::addPoint(int series, double value, const QString& label, QColor)
{
    Pending& p = pending[static_cast<std::size_t>(series)];
    const int index = p.count++;
    p.points.append(QPointF(index, value));
    if (labels.size() <= index)
        labels.append(label);
    return index;
}

int CTChart::addEmptyPoint(int series, const QString& label)
{
    Pending& p = pending[static_cast<std::size_t>(series)];
    const int index = p.count++;
    if (labels.size() <= index)
        labels.append(label);
    return index;
}

int CTChart::addXY(int series, double x, double y, const QString&, QColor)
{
    Pending& p = pending[static_cast<std::size_t>(series)];
    p.points.append(QPointF(x, y));
    return p.count++;
}

void CTChart::clear(int series)
{
    Pending& p = pending[static_cast<std::size_t>(series)];
    p.points.clear();
    p.count = 0;
    p.series->clear();
    bool any = false;
    for (const auto& other : pending)
        any = any || other.count > 0;
    if (!any)
        labels.clear();
}

void CTChart::clearAll()
{
    for (std::size_t s = 0; s < pending.size(); ++s)
        clear(static_cast<int>(s));
}

void CTChart::setLayout(int l, int width, int top, int height) { setGeometry(l, top, width, height); }

void CTChart::refresh()
{
    for (auto& p : pending)
        p.series->replace(p.points);
    if (!categories)
        return;
    const int n = static_cast<int>(labels.size());
    bottomValues->setRange(0, std::max(1, n - 1));
    bottomLabels->setRange(0, std::max(1, n - 1));
    for (const QString& old : bottomLabels->categoriesLabels())
        bottomLabels->remove(old);
    const int step = std::max(1, static_cast<int>(std::ceil(n / static_cast<double>(maxCategoryLabels))));
    for (int i = 0; i < n; i += step) {
        if (!bottomLabels->categoriesLabels().contains(labels[i])) // category labels are unique
            bottomLabels->append(labels[i], i);
    }
}

int CTChart::pointCount(int series) const
{
    return static_cast<int>(pending[static_cast<std::size_t>(series)].points.size());
}

double CTChart::axisMinimum(Axis axis) const { return valueAxis(axis)->min(); }

double CTChart::axisMaximum(Axis axis) const { return valueAxis(axis)->max(); }

QStringList CTChart::categoryLabels() const { return bottomLabels ? bottomLabels->categoriesLabels() : QStringList(); }

} // namespace kestrelan
