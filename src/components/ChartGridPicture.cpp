#include "ChartGridPicture.h"

#include <QChart>
#include <QGraphicsLineItem>
#include <QPainter>
#include <QPen>
#include <QStyleOptionGraphicsItem>

#include <cmath>

ChartGridPicture::ChartGridPicture(QChart* chart) : QGraphicsItem(chart), m_chart(chart) {
    // Under the series, over the plot's walls and background.
    setZValue(2);
    setAcceptedMouseButtons(Qt::NoButton);
}

void ChartGridPicture::collect(QGraphicsItem* item, const QRectF& plot,
                               QList<QGraphicsLineItem*>& lines) const {
    const QList<QGraphicsItem*> children = item->childItems();
    for (QGraphicsItem* child : children) {
        if (child == this)
            continue;
        if (child->type() == QGraphicsLineItem::Type && child->isVisible()) {
            auto* line = static_cast<QGraphicsLineItem*>(child);
            // A hairline's bounds have no height or no width, which intersects nothing.
            if (line->sceneBoundingRect().adjusted(-0.5, -0.5, 0.5, 0.5).intersects(plot))
                lines.append(line);
        }
        collect(child, plot, lines);
    }
}

void ChartGridPicture::takeLines() {
    // Lines on the plot or touching its edges (the axes' lines lie on them, ticks end there).
    const QRectF plot = m_chart->mapRectToScene(m_chart->plotArea()).adjusted(-1, -1, 1, 1);
    QList<QGraphicsLineItem*> lines;
    collect(m_chart, plot, lines);
    // Lines drawn here are left out of the scene's drawing; one the axes moved off the plot is
    // given back to it.
    for (QGraphicsLineItem* line : std::as_const(m_lines)) {
        if (!lines.contains(line))
            line->setOpacity(1.0);
    }
    m_lines = lines;
    for (QGraphicsLineItem* line : std::as_const(m_lines))
        line->setOpacity(0.0);
}

void ChartGridPicture::refresh(const QTransform& deviceTransform, qreal pixelRatio) {
    if (!m_lookAgain && deviceTransform == m_deviceTransform &&
        m_picture.devicePixelRatio() == pixelRatio && !m_picture.isNull())
        return;
    m_lookAgain = false;
    takeLines();
    QRectF covered = m_chart->mapRectToScene(m_chart->plotArea());
    for (const QGraphicsLineItem* line : std::as_const(m_lines))
        covered |= line->sceneBoundingRect();
    m_deviceTransform = deviceTransform;

    // The picture covers the lines, on whole device pixels, so that it is copied without being
    // resampled.
    const QRectF device = deviceTransform.mapRect(covered.adjusted(-2, -2, 2, 2));
    const QRect pixels(QPoint(int(std::floor(device.left())), int(std::floor(device.top()))),
                       QPoint(int(std::ceil(device.right())), int(std::ceil(device.bottom()))));
    m_origin = pixels.topLeft();
    prepareGeometryChange();
    m_bounds = mapRectFromScene(deviceTransform.inverted().mapRect(QRectF(pixels)));
    m_picture = QImage(pixels.size() * pixelRatio, QImage::Format_ARGB32_Premultiplied);
    m_picture.setDevicePixelRatio(pixelRatio);
    m_picture.fill(Qt::transparent);
    QPainter painter(&m_picture);
    drawLines(painter, deviceTransform * QTransform::fromTranslate(-m_origin.x(), -m_origin.y()));
    update();
}

void ChartGridPicture::drawLines(QPainter& painter, const QTransform& sceneToDevice) const {
    QStyleOptionGraphicsItem option;
    for (QGraphicsLineItem* line : m_lines) {
        painter.setWorldTransform(line->sceneTransform() * sceneToDevice);
        option.exposedRect = line->boundingRect();
        line->paint(&painter, &option, nullptr);
    }
}

void ChartGridPicture::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) {
    const QTransform world = painter->worldTransform();
    const QTransform sceneToDevice = sceneTransform().inverted() * world;
    painter->save();
    if (m_picture.isNull() || sceneToDevice != m_deviceTransform) {
        // Drawn elsewhere than on the view the picture was made for.
        drawLines(*painter, sceneToDevice);
    } else {
        // Copied in device pixels, where it was drawn.
        painter->setWorldTransform(QTransform());
        painter->drawImage(m_origin, m_picture);
    }
    painter->restore();
}
