#include "DialPicture.h"

#include "DialGeometry.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace {

// Half the needle's width: the pen is 2 pixels wide, with round ends.
constexpr double kHalfWidth = 1.0;
// Half a pixel's diagonal: a pixel whose centre lies farther than the half width and this from the
// needle's line keeps its colour.
constexpr double kHalfDiagonal = 0.7072;

// The share of a pixel on the inner side of a straight edge of one direction, by the distance `t`
// at which the edge passes the pixel's centre: the pixel's area, cut by the edge. Worked out once
// for each direction, as a needle's two sides share theirs.
class EdgeShare {
public:
    // (normalX, normalY): the edge's normal, of length 1.
    EdgeShare(double normalX, double normalY)
        : m_a(std::max(std::abs(normalX), std::abs(normalY))),
          m_b(std::min(std::abs(normalX), std::abs(normalY))), m_half((m_a + m_b) * 0.5),
          m_corner((m_a - m_b) * 0.5), m_overA(1.0 / m_a),
          m_overTwoAB(m_b > 1e-9 ? 0.5 / (m_a * m_b) : 0.0) {}

    [[nodiscard]] double operator()(double t) const {
        if (t <= -m_half)
            return 0.0;
        if (t >= m_half)
            return 1.0;
        // A corner triangle, then a band of even width, then the other corner.
        if (t < -m_corner) {
            const double reach = t + m_half;
            return reach * reach * m_overTwoAB;
        }
        if (t > m_corner) {
            const double reach = m_half - t;
            return 1.0 - reach * reach * m_overTwoAB;
        }
        return 0.5 + t * m_overA;
    }
    // Beyond this distance from the centre the edge leaves the pixel whole on one side.
    [[nodiscard]] double half() const { return m_half; }

private:
    double m_a;
    double m_b;
    double m_half;
    double m_corner;
    double m_overA;
    double m_overTwoAB;
};

// `colour` laid over `pixel` for the share `alpha` of 256.
QRgb blend(QRgb pixel, QRgb colour, int alpha) {
    const auto channel = [alpha](int over, int under) {
        return (over * alpha + under * (256 - alpha) + 128) >> 8;
    };
    return qRgb(channel(qRed(colour), qRed(pixel)), channel(qGreen(colour), qGreen(pixel)),
                channel(qBlue(colour), qBlue(pixel)));
}

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
        strokeNeedle(NeedleTip, NeedleBase, qRgb(0, 0, 0));
        // A panel too low for an arc keeps its black face and shows no needle.
        if (g.drawable())
            strokeNeedle(tip, base, qRgb(255, 255, 255));
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

// Pixel (x, y) spans x..x+1 and y..y+1, so its centre lies half a pixel off the needle's points:
// the line runs through the points themselves, as the painter's antialiased stroke does.
void DialPicture::strokeNeedle(QPoint tip, QPoint base, QRgb colour) {
    const QRect area = needleArea(tip, base);
    if (area.isEmpty())
        return;
    const double dx = base.x() - tip.x();
    const double dy = base.y() - tip.y();
    const double length = std::hypot(dx, dy);
    // Along the needle from its tip, and across it.
    const double alongX = length > 0.0 ? dx / length : 0.0;
    const double alongY = length > 0.0 ? dy / length : 1.0;
    const double acrossX = -alongY;
    const double acrossY = alongX;
    const double reach = kHalfWidth + kHalfDiagonal;
    const EdgeShare side(acrossX, acrossY);
    // A pixel whose centre lies this close to the line lies wholly on the needle.
    const double whole = kHalfWidth - side.half();
    uchar* bits = picture.bits();
    const auto stride = static_cast<std::size_t>(picture.bytesPerLine());
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const double py = y + 0.5 - tip.y();
        // The row's pixels whose centres lie within reach of the line.
        int left = area.left();
        int right = area.right();
        if (std::abs(acrossX) > 1e-9) {
            const double x1 = tip.x() + (-reach - py * acrossY) / acrossX;
            const double x2 = tip.x() + (reach - py * acrossY) / acrossX;
            left = std::max(left, static_cast<int>(std::floor(std::min(x1, x2) - 0.5)));
            right = std::min(right, static_cast<int>(std::ceil(std::max(x1, x2) - 0.5)));
        }
        auto* row = reinterpret_cast<QRgb*>(bits + static_cast<std::size_t>(y) * stride);
        const double px = left + 0.5 - tip.x();
        double along = px * alongX + py * alongY;
        double across = px * acrossX + py * acrossY;
        for (int x = left; x <= right; ++x, along += alongX, across += acrossX) {
            double share = 1.0;
            if (along < 0.0 || along > length) {
                // A round end: the edge of its disc, taken as straight across the pixel.
                const double ex = x + 0.5 - (along < 0.0 ? tip.x() : base.x());
                const double ey = y + 0.5 - (along < 0.0 ? tip.y() : base.y());
                const double distance = std::sqrt(ex * ex + ey * ey);
                if (distance >= 1e-9)
                    share = EdgeShare(ex / distance, ey / distance)(kHalfWidth - distance);
            } else if (std::abs(across) > whole) {
                share = side(kHalfWidth - across) - side(-kHalfWidth - across);
            }
            // The share in 256ths, rounded: shares are never negative.
            const int alpha = (static_cast<int>(share * 512.0) + 1) >> 1;
            if (alpha >= 256)
                row[x] = colour;
            else if (alpha > 0)
                row[x] = blend(row[x], colour, alpha);
        }
    }
}
