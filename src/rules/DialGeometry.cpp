#include "DialGeometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// The earlier program turned radians into degrees with this rounded value and back with full
// precision; its pixels depend on both.
constexpr double kDegreesPerRadian = 180.0 / 3.1415;
constexpr double kRadiansPerDegree = std::numbers::pi / 180.0;

// Far beyond any panel, yet safe to convert to int and to draw to.
constexpr double kFarAway = 1 << 22;

} // namespace

int roundHalfEven(double v) {
    if (std::isnan(v))
        return 0;
    return static_cast<int>(std::nearbyint(std::clamp(v, -kFarAway, kFarAway)));
}

DialGeometry::DialGeometry(QSize panel) {
    W = static_cast<float>(panel.width() - 2 * kSideMargin);
    H = static_cast<float>(panel.height() - 2 * kTopMargin);
    // At W <= 2H the circle's centre would rise to or above the chord and the scale would flip;
    // a tall panel keeps the dial's shape by rising just short of a half circle.
    H = std::min(H, W * 0.5f - 1.0f);
    if (!drawable())
        return;
    R = (4.0f * H * H + W * W) / (8.0f * H);
    Span = static_cast<float>(2.0 * std::atan((W * 0.5) / (R - H)) * kDegreesPerRadian);
    Start = (180.0f - Span) * 0.5f;
}

float DialGeometry::angleAt(double f) const {
    return static_cast<float>((Span * f + Start) * kRadiansPerDegree);
}

QPoint DialGeometry::pointAt(double f, double r) const {
    const float a = angleAt(f);
    return {roundHalfEven(W * 0.5 - std::cos(a) * r + kSideMargin),
            roundHalfEven(R - std::sin(a) * r + kTopMargin)};
}

QPoint DialGeometry::needleTip(int p, int fullScale) const {
    const float a = angleAt(static_cast<double>(p) / fullScale);
    return {roundHalfEven(W * 0.5 - std::cos(a) * R) + kSideMargin,
            roundHalfEven(R - std::sin(a) * R + kTipDrop) + kTopMargin};
}

QPoint DialGeometry::needleInnerEnd(int p, int fullScale) const {
    const float a = angleAt(static_cast<double>(p) / fullScale);
    const double d = static_cast<double>(R) - H - kInnerDrop;
    return {roundHalfEven(W * 0.5 - std::cos(a) * d / std::sin(a)) + kSideMargin,
            roundHalfEven(kInnerDrop + static_cast<double>(H)) + kTopMargin};
}
