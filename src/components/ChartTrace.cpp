#include "ChartTrace.h"

#include <QPainter>
#include <QPolygonF>
#include <QStyleOptionGraphicsItem>
#include <QVarLengthArray>

#include <algorithm>
#include <cmath>

QPointF TraceScale::map(QPointF value) const {
    // An empty range puts every point on its lowest edge rather than nowhere.
    const double deltaX = xMax != xMin ? plot.width() / (xMax - xMin) : 0.0;
    const double deltaY = yMax != yMin ? plot.height() / (yMax - yMin) : 0.0;
    return {(value.x() - xMin) * deltaX, (value.y() - yMin) * -deltaY + plot.height()};
}

ChartTrace::ChartTrace(QGraphicsItem* parent, Look look, const QPen& pen, const QBrush& brush)
    : QGraphicsItem(parent), m_look(look), m_pen(pen), m_brush(brush) {
    // Over the grid and the axes' lines, as a chart's series are.
    setZValue(4);
    setAcceptedMouseButtons(Qt::NoButton);
    setFlag(ItemUsesExtendedStyleOption);
}

void ChartTrace::setScale(const QRectF& plotInParent, const TraceScale& scale) {
    if (plotInParent.topLeft() == pos() && scale == m_scale)
        return;
    prepareGeometryChange();
    setPos(plotInParent.topLeft());
    m_scale = scale;
    m_placed = false;
    update();
}

void ChartTrace::replace(QList<QPointF> values) {
    m_values = std::move(values);
    m_placed = false;
    update();
}

void ChartTrace::append(QPointF value) {
    m_values.append(value);
    if (!m_placed) {
        update();
        return;
    }
    const QPointF added = m_scale.map(value);
    const QPointF* before = m_positions.isEmpty() ? nullptr : &m_positions.constLast();
    // Nothing changes on screen for a segment wholly off the plot; an empty rectangle would
    // repaint the whole series.
    const QRectF changed = changedBy(before, added, m_look, m_scale.plot);
    if (!changed.isEmpty())
        update(changed);
    m_positions.append(added);
}

void ChartTrace::clear() {
    if (m_values.isEmpty())
        return;
    m_values.clear();
    m_placed = false;
    update();
}

QRectF ChartTrace::changedBy(const QPointF* before, QPointF added, Look look, const QSizeF& plot) {
    const QPointF from = before ? *before : added;
    QRectF strip = QRectF(from, added).normalized();
    // An area reaches from its line to the floor, from above or, off the plot, from below.
    if (look == Look::Area) {
        strip.setTop(std::min(strip.top(), plot.height()));
        strip.setBottom(std::max(strip.bottom(), plot.height()));
    }
    // A pixel either way covers the pen and the pixel a position rounds to. Nothing is drawn more
    // than a pixel off the plot, and an area nothing below its floor, so the axes' labels around
    // the plot are left alone.
    const QRectF drawn =
        QRectF(QPointF(0, 0), plot).adjusted(-1, -1, 1, look == Look::Area ? 0 : 1);
    return strip.adjusted(-1, -1, 1, 1).intersected(drawn);
}

QRectF ChartTrace::boundingRect() const {
    return QRectF(QPointF(0, 0), m_scale.plot).adjusted(-2, -2, 2, 2);
}

void ChartTrace::place() const {
    if (m_placed)
        return;
    m_positions.resize(m_values.size());
    std::transform(m_values.cbegin(), m_values.cend(), m_positions.begin(),
                   [this](QPointF value) { return m_scale.map(value); });
    m_placed = true;
}

ChartTrace::Stretch ChartTrace::stretchOver(const QList<QPointF>& positions, double left,
                                            double right) {
    if (positions.isEmpty())
        return {0, 0};
    // The last point left of the stretch and the first right of it still draw into it.
    const auto from = std::partition_point(positions.cbegin(), positions.cend(),
                                           [left](QPointF p) { return p.x() < left; });
    const auto to =
        std::partition_point(from, positions.cend(), [right](QPointF p) { return p.x() <= right; });
    const qsizetype first = std::max<qsizetype>(from - positions.cbegin() - 1, 0);
    const qsizetype last = std::min<qsizetype>(to - positions.cbegin(), positions.size() - 1);
    return {first, last + 1};
}

void ChartTrace::paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget*) {
    place();
    // Only the points that draw into the exposed part are drawn: an edge the stretch's own ends
    // would add lies outside it, so what is drawn there is what the whole series draws.
    const QRectF exposed = option->exposedRect.adjusted(-2, -2, 2, 2);
    const Stretch stretch = stretchOver(m_positions, exposed.left(), exposed.right());
    if (stretch.begin == stretch.end)
        return;
    QRectF clip(QPointF(0, 0), m_scale.plot);
    if (m_look == Look::Line) {
        // A line along the plot's edges is kept, as the chart's own series keep it.
        const double x1 = pos().x() - int(pos().x());
        const double y1 = pos().y() - int(pos().y());
        const double x2 = (clip.width() + 0.5) - std::floor(clip.width() + 0.5);
        const double y2 = (clip.height() + 0.5) - std::floor(clip.height() + 0.5);
        clip.adjust(-x1, -y1, std::max(x1, x2), std::max(y1, y2));
    }
    painter->save();
    painter->setClipRect(clip);
    painter->setPen(m_pen);
    const QPointF* points = m_positions.constData() + stretch.begin;
    const qsizetype count = stretch.end - stretch.begin;
    if (m_look == Look::Area) {
        QPolygonF area(count + 2);
        std::copy(points, points + count, area.begin());
        area[count] = QPointF(points[count - 1].x(), m_scale.plot.height());
        area[count + 1] = QPointF(points[0].x(), m_scale.plot.height());
        painter->setBrush(m_brush);
        painter->drawPolygon(area);
    } else {
        // Segment by segment, so that each segment's both ends are drawn as the chart's own
        // line series draws them.
        QVarLengthArray<QLineF, 64> lines;
        for (qsizetype i = 1; i < count; ++i)
            lines.append(QLineF(points[i - 1], points[i]));
        painter->drawLines(lines.constData(), int(lines.size()));
    }
    painter->restore();
}
