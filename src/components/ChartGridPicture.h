#pragma once

#include <QGraphicsItem>
#include <QImage>
#include <QLineF>
#include <QList>
#include <QTransform>

class QChart;
class QGraphicsLineItem;

// The straight lines on a chart's plot (grid lines, the axes' own lines and the ticks that touch
// them) drawn as one kept picture. A new point repaints the stretch of plot its series covers, and
// the scene would draw every line there one by one, each with its own state, bounds and
// transform; here they are drawn once, by their own items, into the picture whenever they may have
// moved, and the items themselves are left out of the scene's drawing.
class ChartGridPicture : public QGraphicsItem {
public:
    explicit ChartGridPicture(QChart* chart);

    // The axes may have made, moved or dropped lines: look for them all at the next paint.
    void lookAgain() { m_lookAgain = true; }
    // Draws the picture again when the axes said their lines may have changed, or the view's
    // transform did. Called before each paint of the view, with its scene-to-viewport transform;
    // the lines move only when a range or the plot changes, so nothing else is looked at.
    void refresh(const QTransform& deviceTransform, qreal pixelRatio);

    [[nodiscard]] QRectF boundingRect() const override { return m_bounds; }
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

    // The lines drawn into the picture (for tests).
    [[nodiscard]] QList<QGraphicsLineItem*> lines() const { return m_lines; }

private:
    // Every line on the plot, taken into the picture.
    void takeLines();
    void collect(QGraphicsItem* item, const QRectF& plot, QList<QGraphicsLineItem*>& lines) const;
    void drawLines(QPainter& painter, const QTransform& sceneToDevice) const;

    QChart* m_chart;
    bool m_lookAgain = true;
    QList<QGraphicsLineItem*> m_lines;
    QRectF m_bounds;
    QPoint m_origin; // the picture's top left, in device pixels
    QImage m_picture;
    QTransform m_deviceTransform;
};
