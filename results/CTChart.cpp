#include "results/CTChart.h"

#include <QFontMetrics>

#include "results/core/ChartData.h"

#include <QCategoryAxis>
#include <QChart>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QScatterSeries>
#include <QValueAxis>
#include <cmath>
#include <set>

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
    c->legend()->setMarkerShape(QLegend::MarkerShapeFromSeries); // a triangle series shows a triangle
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
    // The labels that fit depend on the plot's size, known once the chart is laid out.
    connect(c, &QChart::plotAreaChanged, this, &CTChart::thinValueLabels);
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
    pending.push_back({s, look.colour, {}, {}, 0});
    return static_cast<int>(pending.size()) - 1;
}

void CTChart::setSeriesTitle(int series, const QString& title)
{
    if (series >= 0 && series < seriesCount())
        pending[static_cast<std::size_t>(series)].series->setName(title);
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
    right->setLineVisible(false);
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
    if (auto* a = valueAxis(axis); a && increment > 0) {
        increments[axis] = increment;
        a->setTickInterval(increment);
    }
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

int CTChart::addPoint(int series, double value, const QString& label, QColor colour)
{
    Pending& p = pending[static_cast<std::size_t>(series)];
    const int index = p.count++;
    p.points.append(QPointF(index, value));
    p.colours.push_back(colour);
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

int CTChart::addXY(int series, double x, double y, const QString&, QColor colour)
{
    Pending& p = pending[static_cast<std::size_t>(series)];
    p.points.append(QPointF(x, y));
    p.colours.push_back(colour);
    return p.count++;
}

void CTChart::clear(int series)
{
    Pending& p = pending[static_cast<std::size_t>(series)];
    p.points.clear();
    p.colours.clear();
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
    for (auto& p : pending) {
        p.series->replace(p.points);
        // A line of one point (a one-day fund) draws that point.
        if (qobject_cast<QLineSeries*>(p.series))
            p.series->setPointsVisible(p.points.size() == 1);
    }
    applyColours();
    if (categories) {
        // Half a day on either side keeps the marks of the first and the last day whole.
        const int n = static_cast<int>(labels.size());
        bottomValues->setRange(-0.5, std::max(1, n - 1) + 0.5);
        bottomLabels->setRange(-0.5, std::max(1, n - 1) + 0.5);
        for (const QString& old : bottomLabels->categoriesLabels())
            bottomLabels->remove(old);
        // As many labels as the chart's width holds side by side (a narrow chart fewer), at most
        // maxCategoryLabels.
        const QFontMetrics metrics(bottomLabels->labelsFont());
        const int fit = std::max(2, width() / (metrics.horizontalAdvance(QStringLiteral("00-00-00")) + 30));
        const int most = std::min(maxCategoryLabels, fit);
        const int step = std::max(1, static_cast<int>(std::ceil(n / static_cast<double>(most))));
        for (int i = 0; i < n; i += step) {
            if (!bottomLabels->categoriesLabels().contains(labels[i])) // category labels are unique
                bottomLabels->append(labels[i], i);
        }
    }
    thinValueLabels();
}

// One colour for all of a series' points colours the series; points of different colours keep
// each its own.
void CTChart::applyColours()
{
    for (auto& p : pending) {
        std::set<QRgb> own;
        bool allOwn = !p.colours.empty();
        for (const QColor& c : p.colours) {
            if (c.isValid())
                own.insert(c.rgba());
            else
                allOwn = false;
        }
        const QColor seriesColour = allOwn && own.size() == 1 ? QColor::fromRgba(*own.begin()) : p.colour;
        if (auto* scatter = qobject_cast<QScatterSeries*>(p.series)) {
            scatter->setColor(seriesColour);
            scatter->setBorderColor(seriesColour);
        } else {
            QPen pen = p.series->pen();
            pen.setColor(seriesColour);
            p.series->setPen(pen);
        }
        p.series->clearPointsConfiguration();
        if (allOwn && own.size() == 1)
            continue;
        for (int i = 0; i < static_cast<int>(p.colours.size()); ++i)
            if (p.colours[static_cast<std::size_t>(i)].isValid())
                p.series->setPointConfiguration(i, QXYSeries::PointConfiguration::Color,
                                                p.colours[static_cast<std::size_t>(i)]);
    }
}

// Every value axis shows as many of its labels as fit: every second, fifth, tenth ... once they
// would crowd, counted from 0 (or from the minimum of an axis without 0), with a minor grid line
// at each increment between them.
void CTChart::thinValueLabels()
{
    const QRectF plot = chart()->plotArea();
    for (Axis axis : {Left, Right, Bottom}) {
        QValueAxis* a = valueAxis(axis);
        if (!a || (axis == Bottom && categories))
            continue;
        const bool vertical = axis != Bottom;
        const QFontMetricsF metrics(a->labelsFont());
        const double length = vertical ? (plot.height() > 0 ? plot.height() : height() * 0.7)
                                       : (plot.width() > 0 ? plot.width() : width() * 0.8);
        const QString widest = a->labelFormat().isEmpty()
            ? QString("-0000")
            : QString::asprintf(a->labelFormat().toLatin1().constData(),
                                std::fabs(a->min()) > std::fabs(a->max()) ? a->min() : a->max());
        const double label
            = vertical ? metrics.height() * 1.2 : metrics.horizontalAdvance(widest) + metrics.averageCharWidth() * 2;
        const double increment = increments[axis];
        const int every = labelEvery({a->min(), a->max(), increment}, length, label);
        if (a->tickInterval() != increment * every)
            a->setTickInterval(increment * every);
        // Thinned labels count from 0 where the axis shows it, else from the minimum.
        const double anchor = every > 1 && a->min() <= 0 && a->max() >= 0 ? 0 : a->min();
        if (a->tickAnchor() != anchor)
            a->setTickAnchor(anchor);
        const int minor = every > 1 && length * increment / (a->max() - a->min()) >= 4 ? every - 1 : 0;
        if (a->minorTickCount() != minor)
            a->setMinorTickCount(minor);
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
