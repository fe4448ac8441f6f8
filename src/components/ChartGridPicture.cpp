#include "ChartGridPicture.h"

#include <QChart>
#include <QGraphicsLineItem>
#include <QPainter>
#include <QPen>
#include <QStyleOptionGraphicsItem>

#include <cmath>

namespace {

// Lines reach this far past the plot's edges (the axes' lines lie on them).
constexpr qreal kEdge = 1.0;

bool insidePlot(const QLineF& line, const QRectF& plot) {
    const QRectF around = plot.adjusted(-kEdge, -kEdge, kEdge, kEdge);
    return around.contains(line.p1()) && around.contains(line.p2());
}

} // namespace

ChartGridPicture::ChartGridPicture(QChart* chart) : QGraphicsItem(chart), m_chart(chart) {
    // Under the series, over the plot's walls and background.
    setZValue(2);
    setAcceptedMouseButtons(Qt::NoButton);
}

QLineF ChartGridPicture::sceneLine(const QGraphicsLineItem* item) {
    return {item->mapToScene(item->line().p1()), item->mapToScene(item->line().p2())};
}

void ChartGridPicture::collect(QGraphicsItem* item, const QRectF& plot,
                               QList<QGraphicsLineItem*>& lines) const {
    for (QGraphicsItem* child : item->childItems()) {
        if (child == this)
            continue;
        if (child->type() == QGraphicsLineItem::Type && child->isVisible()) {
            auto* line = static_cast<QGraphicsLineItem*>(child);
            if (insidePlot(sceneLine(line), plot))
                lines.append(line);
        }
        collect(child, plot, lines);
    }
}

void ChartGridPicture::refresh(const QTransform& deviceTransform, qreal pixelRatio) {
    const QRectF plot = m_chart->mapRectToScene(m_chart->plotArea());
    QList<QGraphicsLineItem*> lines;
    collect(m_chart, plot, lines);
    // Lines drawn here are left out of the scene's drawing; one the axes moved off the plot or
    // hid is given back to it.
    for (QGraphicsLineItem* line : std::as_const(m_lines)) {
        if (!lines.contains(line))
            line->setOpacity(1.0);
    }
    m_lines = lines;

    QList<LineLook> looks;
    looks.reserve(m_lines.size());
    for (QGraphicsLineItem* line : std::as_const(m_lines)) {
        const QPen pen = line->pen();
        looks.append({sceneLine(line), pen.color().rgba(), pen.widthF(), int(pen.style())});
        line->setOpacity(0.0);
    }
    if (looks == m_looks && deviceTransform == m_deviceTransform &&
        m_picture.devicePixelRatio() == pixelRatio && !m_picture.isNull())
        return;
    m_looks = looks;
    m_deviceTransform = deviceTransform;

    // The picture covers the plot and its edges, on whole device pixels, so that it is copied
    // without being resampled.
    const QRectF device = deviceTransform.mapRect(plot.adjusted(-2, -2, 2, 2));
    const QRect pixels(QPoint(int(std::floor(device.left())), int(std::floor(device.top()))),
                       QPoint(int(std::ceil(device.right())), int(std::ceil(device.bottom()))));
    m_origin = pixels.topLeft();
    prepareGeometryChange();
    m_bounds = mapRectFromScene(deviceTransform.inverted().mapRect(QRectF(pixels)));
    m_picture = QPixmap(pixels.size() * pixelRatio);
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
        painter->drawPixmap(m_origin, m_picture);
    }
    painter->restore();
}
