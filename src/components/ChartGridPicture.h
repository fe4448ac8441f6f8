#pragma once

#include <QGraphicsItem>
#include <QLineF>
#include <QList>
#include <QPixmap>
#include <QRgb>
#include <QTransform>

class QChart;
class QGraphicsLineItem;

// The straight lines across a chart's plot (grid lines and the axes' own lines) drawn as one kept
// picture. A new point repaints the stretch of plot its series covers, and the scene would draw
// every line there one by one, each with its own state, bounds and transform; here they are drawn
// once, by their own items into the picture, whenever one of them moves, and the items themselves
// are left out of the scene's drawing.
class ChartGridPicture : public QGraphicsItem {
public:
    explicit ChartGridPicture(QChart* chart);

    // Takes in lines the axes made since, and draws the picture again when any line moved, came
    // or went. Called before each paint of the view.
    void refresh(const QTransform& deviceTransform, qreal pixelRatio);

    [[nodiscard]] QRectF boundingRect() const override { return m_bounds; }
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

    // The lines drawn into the picture (for tests).
    [[nodiscard]] QList<QGraphicsLineItem*> lines() const { return m_lines; }

private:
    // What a line's drawing depends on.
    struct LineLook {
        QLineF line;
        QRgb color = 0;
        qreal width = 0;
        int style = 0;
        friend bool operator==(const LineLook&, const LineLook&) = default;
    };

    static QLineF sceneLine(const QGraphicsLineItem* item);
    void collect(QGraphicsItem* item, const QRectF& plot, QList<QGraphicsLineItem*>& lines) const;
    void drawLines(QPainter& painter, const QTransform& sceneToDevice) const;

    QChart* m_chart;
    QList<QGraphicsLineItem*> m_lines;
    QList<LineLook> m_looks;
    QRectF m_bounds;
    QPoint m_origin; // the picture's top left, in device pixels
    QPixmap m_picture;
    QTransform m_deviceTransform;
};
