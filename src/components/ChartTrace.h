#pragma once

#include <QBrush>
#include <QGraphicsItem>
#include <QList>
#include <QPen>
#include <QPointF>
#include <QRectF>
#include <QSizeF>

// Where a value lands on the plot: the axes' ranges spread over the plot's size, the lowest value
// at the bottom. Positions are relative to the plot's top left corner.
struct TraceScale {
    QSizeF plot;
    double xMin = 0;
    double xMax = 1;
    double yMin = 0;
    double yMax = 1;

    [[nodiscard]] QPointF map(QPointF value) const;
    friend bool operator==(const TraceScale&, const TraceScale&) = default;
};

// One series of the trend chart, drawn straight from its points on the plot: a line, or a line
// with the area below it down to the plot's floor filled, pixel for pixel as the chart library's
// own line and area series draw them. A point added repaints only the strip between it and the
// point before, which is all that changes on screen, instead of the whole series being rebuilt.
class ChartTrace : public QGraphicsItem {
public:
    enum class Look { Line, Area };

    ChartTrace(QGraphicsItem* parent, Look look, const QPen& pen, const QBrush& brush = {});

    // The plot's rectangle, in the parent's coordinates, and the axes' ranges across it.
    void setScale(const QRectF& plotInParent, const TraceScale& scale);

    void replace(QList<QPointF> values);
    void append(QPointF value);
    void clear();
    [[nodiscard]] const QList<QPointF>& points() const { return m_values; }
    [[nodiscard]] qsizetype count() const { return m_values.size(); }

    [[nodiscard]] Look look() const { return m_look; }
    [[nodiscard]] QPen pen() const { return m_pen; }
    [[nodiscard]] QBrush brush() const { return m_brush; }

    // What adding `added` after `before` changes on screen, in the plot's coordinates: the strip
    // between the two points, for an area down to the floor, cut to the plot and a pixel around
    // it (empty when nothing shows). `before` is null for a first point.
    [[nodiscard]] static QRectF changedBy(const QPointF* before, QPointF added, Look look,
                                          const QSizeF& plot);

    // The points [begin, end) of `positions` (in ascending X) that draw between `left` and `right`.
    struct Stretch {
        qsizetype begin;
        qsizetype end;
    };
    [[nodiscard]] static Stretch stretchOver(const QList<QPointF>& positions, double left,
                                             double right);

    [[nodiscard]] QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    // Positions of the points, made again from their values after the scale or the points changed.
    void place() const;

    Look m_look;
    QPen m_pen;
    QBrush m_brush;
    TraceScale m_scale;
    QList<QPointF> m_values;
    mutable QList<QPointF> m_positions;
    mutable bool m_placed = false;
};
