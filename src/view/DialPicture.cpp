#include "DialPicture.h"

#include "DialGeometry.h"

#include <QPainter>

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

// Places whose needle is kept: the needle wanders over a few neighbouring places while a reading
// holds steady, and one shape is a few hundred bytes.
constexpr std::size_t kKeptShapes = 64;

} // namespace

void DialPicture::setup(const DialFace& next) {
    if (hasFace && next == lastFace) {
        if (needlesArea.isEmpty())
            return;
        restoreFace(needlesArea);
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
    shapes.clear(); // a needle's runs end at the picture's edges
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
        fillNeedle(shapeOf(NeedleTip, NeedleBase), qRgb(0, 0, 0));
        // A panel too low for an arc keeps its black face and shows no needle.
        if (g.drawable())
            fillNeedle(shapeOf(tip, base), qRgb(255, 255, 255));
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

void DialPicture::restoreFace(const QRect& area) {
    const QRect rows = area & picture.rect();
    // One look-up of each image's pixels: a row's look-up checks whether the image is shared.
    uchar* to = picture.bits();
    const uchar* from = face.constBits();
    const auto stride = static_cast<std::size_t>(picture.bytesPerLine());
    const auto offset = static_cast<std::size_t>(rows.left()) * sizeof(QRgb);
    for (int y = rows.top(); y <= rows.bottom(); ++y)
        std::memcpy(to + static_cast<std::size_t>(y) * stride + offset,
                    from + static_cast<std::size_t>(y) * stride + offset,
                    static_cast<std::size_t>(rows.width()) * sizeof(QRgb));
}

const DialPicture::NeedleShape& DialPicture::shapeOf(QPoint tip, QPoint base) {
    const auto kept = std::find_if(shapes.begin(), shapes.end(), [&](const NeedleShape& s) {
        return s.tip == tip && s.base == base;
    });
    if (kept != shapes.end()) {
        std::rotate(kept, kept + 1, shapes.end());
        return shapes.back();
    }
    if (shapes.size() == kKeptShapes)
        shapes.erase(shapes.begin());
    // The stroke drawn where it stands, on black, gives the pixels it covers.
    NeedleShape shape{tip, base, {}};
    const QRect area = needleArea(tip, base);
    if (!area.isEmpty()) {
        QImage mask(area.size(), QImage::Format_RGB32);
        mask.fill(Qt::black);
        {
            QPainter painter(&mask);
            painter.translate(-area.topLeft());
            drawNeedle(painter, tip, base, Qt::white);
        }
        for (int y = 0; y < mask.height(); ++y) {
            const auto* row = reinterpret_cast<const QRgb*>(mask.constScanLine(y));
            for (int x = 0; x < mask.width(); ++x) {
                if (qGray(row[x]) == 0)
                    continue;
                const int left = x;
                while (x + 1 < mask.width() && qGray(row[x + 1]) != 0)
                    ++x;
                shape.runs.push_back({area.top() + y, area.left() + left, area.left() + x});
            }
        }
    }
    shapes.push_back(std::move(shape));
    return shapes.back();
}

void DialPicture::fillNeedle(const NeedleShape& shape, QRgb colour) {
    uchar* bits = picture.bits();
    const auto stride = static_cast<std::size_t>(picture.bytesPerLine());
    for (const Run& run : shape.runs) {
        auto* row = reinterpret_cast<QRgb*>(bits + static_cast<std::size_t>(run.y) * stride);
        std::fill(row + run.left, row + run.right + 1, colour);
    }
}
