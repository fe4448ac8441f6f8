#include "ChartComponent.h"

#include <QAreaSeries>
#include <QChart>
#include <QFont>
#include <QGraphicsRectItem>
#include <QLineSeries>
#include <QLinearGradient>
#include <QPen>
#include <QValueAxis>

#include <algorithm>

namespace {

constexpr int kLeftWallSize = 11;
// Room at the top for the tool bar that sits inside the chart.
constexpr int kToolBarRoom = 26;

QFont arial(int pixels) {
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixels);
    return font;
}

// One-pixel lines drawn as hairlines look the same, but their items work out their bounds without
// stroking a path, which otherwise dominates every repaint of the plot.
void useHairlines(QValueAxis* axis) {
    QPen line = axis->linePen();
    line.setWidth(0);
    axis->setLinePen(line);
    QPen grid = axis->gridLinePen();
    grid.setWidth(0);
    axis->setGridLinePen(grid);
    QPen minor = axis->minorGridLinePen();
    minor.setWidth(0);
    axis->setMinorGridLinePen(minor);
}

} // namespace

ChartComponent::ChartComponent(QWidget* parent) : QChartView(new QChart, parent) {
    styleChart();
    addSeries();
    connect(chart(), &QChart::plotAreaChanged, this, [this] {
        placeWalls();
        if (plotColumns() != columns)
            refresh();
    });
    startAfresh();
}

void ChartComponent::styleChart() {
    QChart* c = chart();
    QLinearGradient gradient(0, 0, 0, 1);
    gradient.setCoordinateMode(QGradient::ObjectBoundingMode);
    gradient.setColorAt(0, QColor(0xFF, 0xFF, 0xA4));
    gradient.setColorAt(1, QColor(0xFF, 0xDD, 0xDD));
    c->setBackgroundBrush(gradient);
    c->setBackgroundRoundness(0);
    c->setTitle(QStringLiteral("  "));
    c->setTitleFont(arial(13));
    c->setTitleBrush(Qt::blue);
    c->legend()->hide();
    c->setMargins(QMargins(1, kToolBarRoom, 8, 1));
    c->setAnimationOptions(QChart::NoAnimation);
    setBackgroundBrush(QColor(0xC0, 0xDD, 0xF8));
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setRenderHint(QPainter::Antialiasing, false);
    setRubberBand(QChartView::RectangleRubberBand);
    setCursor(Qt::CrossCursor);

    valueAxis = new QValueAxis(c);
    valueAxis->setRange(-8001, 8001);
    valueAxis->setLinePen(QPen(QColor(0x00, 0x40, 0x80), 1, Qt::DashLine));
    valueAxis->setMinorTickCount(4);
    valueAxis->setLabelFormat(QStringLiteral("%d"));
    c->addAxis(valueAxis, Qt::AlignLeft);
    pointAxis = new QValueAxis(c);
    pointAxis->setLabelFormat(QStringLiteral("%d"));
    c->addAxis(pointAxis, Qt::AlignBottom);
    for (QValueAxis* axis : {valueAxis, pointAxis})
        useHairlines(axis);

    // The walls of the plot: a pale yellow band up the left side and a white floor.
    leftWall = new QGraphicsRectItem(c);
    leftWall->setBrush(QColor(0xFF, 0xFF, 0x80));
    leftWall->setPen(Qt::NoPen);
    bottomWall = new QGraphicsRectItem(c);
    bottomWall->setBrush(Qt::white);
    bottomWall->setPen(Qt::NoPen);
}

void ChartComponent::addSeries() {
    areaLine = new QLineSeries(this);
    Series2 = new QAreaSeries(areaLine);
    Series2->setBrush(QColor(0xFF, 0xFF, 0x80));
    Series2->setPen(QPen(QColor(0x00, 0x80, 0xFF), 1));
    Series1 = new QLineSeries;
    Series1->setPen(QPen(Qt::red, 1));
    Series1->setPointsVisible(false);
    for (QAbstractSeries* series :
         {static_cast<QAbstractSeries*>(Series2), static_cast<QAbstractSeries*>(Series1)}) {
        chart()->addSeries(series);
        series->attachAxis(pointAxis);
        series->attachAxis(valueAxis);
    }
    Series1->hide();
}

void ChartComponent::placeWalls() {
    const QRectF plot = chart()->plotArea();
    leftWall->setRect(plot.left(), plot.top(), kLeftWallSize, plot.height());
    bottomWall->setRect(plot.left(), plot.bottom() - 1, plot.width(), 1);
    leftWall->setZValue(-1);
    bottomWall->setZValue(-1);
}

QLineSeries* ChartComponent::shownLine() const {
    return shown == kAreaSeries ? areaLine : Series1;
}

int ChartComponent::plotColumns() const {
    const int plot = static_cast<int>(chart()->plotArea().width());
    // Before the first layout the plot has no width yet; the widget's width is near enough.
    return std::max(1, plot > 0 ? plot : width());
}

void ChartComponent::addPoint(qint32 value) {
    const qint64 x = history.size();
    history.append(value);
    if (x < spanFirst || x >= spanFirst + spanWidth)
        return;
    // While the page's points fit the plot, the new point is simply added to the shown series.
    if (!reduced && history.pointsIn(spanFirst, spanWidth) <= columns) {
        shownLine()->append(double(x), value);
        return;
    }
    refresh();
}

void ChartComponent::startAfresh() {
    history.clear();
    // A new chart holds one placeholder point, so that the first reading is point number 1.
    history.append(0);
    refresh();
}

void ChartComponent::showSeries(int index) {
    if (index != kAreaSeries && index != kLineSeries)
        return;
    shown = index;
    Series2->setVisible(index == kAreaSeries);
    Series1->setVisible(index == kLineSeries);
    refresh();
}

void ChartComponent::setValueRange(int minimum, int maximum) {
    if (valueAxis->min() == minimum && valueAxis->max() == maximum)
        return;
    valueAxis->setRange(minimum, maximum);
}

void ChartComponent::showSpan(qint64 first, qint64 width) {
    if (first == spanFirst && width == spanWidth)
        return;
    spanFirst = first;
    spanWidth = width;
    refresh();
}

void ChartComponent::refresh() {
    columns = plotColumns();
    const qint64 width = std::max<qint64>(spanWidth, 1);
    reduced = history.pointsIn(spanFirst, width) > columns;
    pointAxis->setRange(double(spanFirst), double(spanFirst + std::max<qint64>(width - 1, 1)));
    shownLine()->replace(history.span(spanFirst, width, columns));
    // The hidden series would hold the same points; it gets them when it is shown.
    QLineSeries* hidden = shown == kAreaSeries ? Series1 : areaLine;
    if (hidden->count() > 0)
        hidden->clear();
}

QList<QPointF> ChartComponent::shownPoints() const {
    return shownLine()->points();
}

ChartBitmap::Result ChartComponent::saveBitmap(const QString& path) {
    return ChartBitmap::save(grab().toImage(), path);
}
