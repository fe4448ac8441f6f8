#include "ChartComponent.h"

#include "ChartGridPicture.h"

#include <QChart>
#include <QFont>
#include <QGraphicsRectItem>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPen>
#include <QRubberBand>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

constexpr int kLeftWallSize = 11;
// Room at the top for the tool bar that sits inside the chart.
constexpr int kToolBarRoom = 26;
// A drag smaller than this either way is a click, not a rectangle to zoom into.
constexpr double kLeastDrag = 4;

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

struct ValueRect {
    double xFrom, xTo, yFrom, yTo;
};

// The rectangle dragged from `a` to `b`, cut to the plot, in the values of the axes' ranges (all
// in scene coordinates); nothing when it is too small to mean a rectangle.
std::optional<ValueRect> draggedValues(QPointF a, QPointF b, const QRectF& plot,
                                       const QValueAxis& across, const QValueAxis& up) {
    const QRectF dragged = QRectF(a, b).normalized().intersected(plot);
    if (dragged.width() < kLeastDrag || dragged.height() < kLeastDrag)
        return std::nullopt;
    const auto xAt = [&](double px) {
        return across.min() + (px - plot.left()) / plot.width() * (across.max() - across.min());
    };
    const auto yAt = [&](double py) {
        return up.max() - (py - plot.top()) / plot.height() * (up.max() - up.min());
    };
    return ValueRect{xAt(dragged.left()), xAt(dragged.right()), yAt(dragged.bottom()),
                     yAt(dragged.top())};
}

} // namespace

ChartComponent::ChartComponent(QWidget* parent) : QChartView(new QChart, parent) {
    styleChart();
    addSeries();
    // The axes make, move and drop their lines when the plot or their ranges change.
    for (QValueAxis* axis : {valueAxis, pointAxis}) {
        connect(axis, &QValueAxis::rangeChanged, this, [this] {
            gridPicture->lookAgain();
            scaleSeries();
        });
    }
    connect(chart(), &QChart::plotAreaChanged, this, [this] {
        gridPicture->lookAgain();
        placeWalls();
        scaleSeries();
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
    // The view's own rubber band zooms the axes behind the chart's back, which then fights the
    // page the chart puts back; the drag is handled here instead.
    setRubberBand(QChartView::NoRubberBand);
    band = new QRubberBand(QRubberBand::Rectangle, viewport());
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
    gridPicture = new ChartGridPicture(c);
}

void ChartComponent::addSeries() {
    Series2 = new ChartTrace(chart(), ChartTrace::Look::Area, QPen(QColor(0x00, 0x80, 0xFF), 1),
                             QColor(0xFF, 0xFF, 0x80));
    Series1 = new ChartTrace(chart(), ChartTrace::Look::Line, QPen(Qt::red, 1));
    Series1->hide();
    scaleSeries();
}

void ChartComponent::scaleSeries() {
    const QRectF plot = chart()->plotArea();
    const TraceScale scale{plot.size(), pointAxis->min(), pointAxis->max(), valueAxis->min(),
                           valueAxis->max()};
    for (ChartTrace* trace : {Series1, Series2})
        trace->setScale(plot, scale);
}

void ChartComponent::placeWalls() {
    const QRectF plot = chart()->plotArea();
    leftWall->setRect(plot.left(), plot.top(), kLeftWallSize, plot.height());
    bottomWall->setRect(plot.left(), plot.bottom() - 1, plot.width(), 1);
    leftWall->setZValue(-1);
    bottomWall->setZValue(-1);
}

ChartTrace* ChartComponent::shownTrace() const {
    return shown == kAreaSeries ? Series2 : Series1;
}

int ChartComponent::plotColumns() const {
    const int plot = static_cast<int>(chart()->plotArea().width());
    // Before the first layout the plot has no width yet; the widget's width is near enough.
    return std::max(1, plot > 0 ? plot : width());
}

ChartComponent::Stretch ChartComponent::shownStretch() const {
    if (!zoomed)
        return {spanFirst, std::max<qint64>(spanWidth, 1)};
    const auto first = static_cast<qint64>(std::floor(zoomFirst));
    const auto last = static_cast<qint64>(std::ceil(zoomLast));
    return {first, last - first + 1};
}

void ChartComponent::addPoint(qint32 value) {
    const qint64 x = history.size();
    history.append(value);
    const Stretch stretch = shownStretch();
    if (x < stretch.first || x >= stretch.first + stretch.width)
        return;
    // While the stretch's points fit the plot, the new point is simply added to the shown series.
    if (!reduced && history.pointsIn(stretch.first, stretch.width) <= columns) {
        shownTrace()->append(QPointF(double(x), value));
        return;
    }
    refresh();
}

void ChartComponent::startAfresh() {
    zoomed = false;
    showValueRange();
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
    rangeMin = minimum;
    rangeMax = maximum;
    showValueRange();
}

void ChartComponent::showValueRange() {
    if (valueAxis->min() == rangeMin && valueAxis->max() == rangeMax)
        return;
    valueAxis->setRange(rangeMin, rangeMax);
}

void ChartComponent::showSpan(qint64 first, qint64 width) {
    if (first == spanFirst && width == spanWidth)
        return;
    spanFirst = first;
    spanWidth = width;
    zoomed = false;
    showValueRange();
    refresh();
}

void ChartComponent::showPageView() {
    showValueRange();
    if (!zoomed)
        return;
    zoomed = false;
    refresh();
}

void ChartComponent::zoomInto(const QRect& dragged) {
    const std::optional<ValueRect> values =
        draggedValues(mapToScene(dragged.topLeft()), mapToScene(dragged.bottomRight()),
                      chart()->plotArea(), *pointAxis, *valueAxis);
    if (!values)
        return;
    zoomed = true;
    zoomFirst = values->xFrom;
    zoomLast = values->xTo;
    valueAxis->setRange(values->yFrom, values->yTo);
    refresh();
}

void ChartComponent::refresh() {
    columns = plotColumns();
    const Stretch stretch = shownStretch();
    reduced = history.pointsIn(stretch.first, stretch.width) > columns;
    if (zoomed)
        pointAxis->setRange(zoomFirst, zoomLast);
    else
        pointAxis->setRange(double(spanFirst),
                            double(spanFirst + std::max<qint64>(stretch.width - 1, 1)));
    shownTrace()->replace(history.span(stretch.first, stretch.width, columns));
    // The hidden series would hold the same points; it gets them when it is shown.
    (shown == kAreaSeries ? Series1 : Series2)->clear();
}

void ChartComponent::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        dragFrom = event->position().toPoint();
        dragging = true;
        band->setGeometry(QRect(dragFrom, QSize()));
        band->show();
        event->accept();
        return;
    }
    // A right click acts when the button is let go.
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QChartView::mousePressEvent(event);
}

void ChartComponent::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging) {
        QChartView::mouseMoveEvent(event);
        return;
    }
    band->setGeometry(QRect(dragFrom, event->position().toPoint()).normalized());
    event->accept();
}

void ChartComponent::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && dragging) {
        dragging = false;
        band->hide();
        zoomInto(QRect(dragFrom, event->position().toPoint()).normalized());
        event->accept();
        return;
    }
    if (event->button() == Qt::RightButton) {
        showPageView();
        event->accept();
        return;
    }
    QChartView::mouseReleaseEvent(event);
}

// Escape drops a drag under way.
void ChartComponent::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && dragging) {
        dragging = false;
        band->hide();
        event->accept();
        return;
    }
    QChartView::keyPressEvent(event);
}

QList<QPointF> ChartComponent::shownPoints() const {
    return shownTrace()->points();
}

ChartBitmap::Result ChartComponent::saveBitmap(const QString& path) {
    return ChartBitmap::save(grab().toImage(), path);
}

void ChartComponent::paintEvent(QPaintEvent* event) {
    gridPicture->refresh(viewportTransform(), viewport()->devicePixelRatioF());
    QChartView::paintEvent(event);
}
