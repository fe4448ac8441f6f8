#include "LinkPicture.h"

#include <QPainter>
#include <QPainterPath>

QPixmap drawLinkPicture(bool linked) {
    QPixmap pm(46, 24);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor body(190, 190, 190);
    const QColor screen = linked ? QColor(40, 230, 60) : QColor(30, 45, 35);

    // Computer: monitor on a foot.
    p.setPen(QPen(QColor(90, 90, 90), 1));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(1.5, 1.5, 20, 15), 2, 2);
    p.drawRect(QRectF(7.5, 17.5, 8, 2));
    p.drawRect(QRectF(4.5, 19.5, 14, 3));
    p.setBrush(screen);
    p.drawRect(QRectF(4.5, 4.5, 14, 9));

    // Meter: a handheld body with a display and a dial knob.
    p.setBrush(QColor(230, 200, 40));
    p.drawRoundedRect(QRectF(31.5, 1.5, 13, 21), 2, 2);
    p.setBrush(screen);
    p.drawRect(QRectF(33.5, 3.5, 9, 6));
    p.setBrush(QColor(60, 60, 60));
    p.drawEllipse(QRectF(35, 12, 6, 6));

    // Cable between them; dashed while the link is down.
    QPen cable(linked ? QColor(40, 230, 60) : QColor(140, 140, 140), 1.5);
    if (!linked)
        cable.setStyle(Qt::DashLine);
    p.setPen(cable);
    p.drawLine(QPointF(22, 10), QPointF(31, 10));
    return pm;
}
