#include "DialPicture.h"

#include "DialGeometry.h"

#include <QPainter>

#include <utility>

void DialPicture::setup(const DialFace& next) {
    if (hasFace && next == lastFace) {
        if (needlesArea.isEmpty())
            return;
        QPainter painter(&picture);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(needlesArea.topLeft(), face, needlesArea);
        changed |= needlesArea;
        needlesArea = {};
        return;
    }
    lastFace = next;
    hasFace = true;
    face = QImage(next.surface, QImage::Format_RGB32);
    if (!face.isNull()) {
        QPainter painter(&face);
        next.draw(painter);
    }
    ++faceDraws;
    picture = face.copy();
    changed = picture.rect();
    needlesArea = {};
}

void DialPicture::run(int position, int dialScale, int dialOffset) {
    const DialGeometry g(lastFace.panel);
    const int fullScale = dialScale * 10;
    const int p = position + dialOffset;
    const QPoint tip = g.needleTip(p, fullScale);
    const QPoint base = g.needleInnerEnd(p, fullScale);
    const QRect area = needleArea(NeedleTip, NeedleBase) | needleArea(tip, base);
    if (!picture.isNull()) {
        QPainter painter(&picture);
        drawNeedle(painter, NeedleTip, NeedleBase, Qt::black);
        // A panel too low for an arc keeps its black face and shows no needle.
        if (g.drawable())
            drawNeedle(painter, tip, base, Qt::white);
    }
    NeedleBase = base;
    NeedleTip = tip;
    needlesArea |= area;
    changed |= area;
}

QRect DialPicture::takeChangedArea() {
    return std::exchange(changed, QRect());
}

QRect DialPicture::needleArea(QPoint tip, QPoint base) const {
    // The pen is 2 pixels wide with round ends; 3 pixels of slack cover it on every side.
    return QRect(tip, base).normalized().adjusted(-3, -3, 3, 3) & picture.rect();
}
