#pragma once

#include <QPoint>
#include <QSize>

// Where the dial's scale, labels, band and needle lie for a panel of a given size. The dial is the
// top of a circle whose arc spans the panel's width less the side margins and rises by its height
// less the top and bottom margins; everything sits on rays from the circle's centre below the
// panel. Lengths and angles are single precision and degrees come from radians with 3.1415, so
// the pixels match those of the meter's earlier dial program.
class DialGeometry {
public:
    static constexpr int kSideMargin = 20;
    static constexpr int kTopMargin = 30;
    static constexpr int kDotDistance = 6;    // scale dots outside the arc
    static constexpr int kLabelDistance = 18; // label anchors outside the arc
    static constexpr int kBandDistance = 3;   // limit band outside the arc
    static constexpr int kTipDrop = 4;        // needle tip below the arc
    static constexpr int kInnerDrop = 280;    // needle inner end below the arc's chord

    // `panel` is the size of the dial's panel, bevels included.
    explicit DialGeometry(QSize panel);

    // False when the panel is too low for any arc: the dial is then a black face.
    [[nodiscard]] bool drawable() const { return H > 0.0f && W > 0.0f; }

    // The point at fraction `f` of the scale (0 left end, 1 right end) and distance `r` from the
    // centre.
    [[nodiscard]] QPoint pointAt(double f, double r) const;

    // The needle's ends for position `p` of a scale `fullScale` positions long. Positions outside
    // 0..fullScale point beyond the scale's ends; nothing clamps them.
    [[nodiscard]] QPoint needleTip(int p, int fullScale) const;
    [[nodiscard]] QPoint needleInnerEnd(int p, int fullScale) const;

    float W = 0.0f;     // chord of the arc
    float H = 0.0f;     // rise of the arc
    float R = 0.0f;     // radius
    float Span = 0.0f;  // degrees between the scale's ends
    float Start = 0.0f; // degrees from the horizontal to the left end

private:
    [[nodiscard]] float angleAt(double f) const;
};

// Rounds to the nearest integer, halves to the even neighbour, and keeps far-off points (a needle
// almost level with the chord ends very far away) inside the range of int.
[[nodiscard]] int roundHalfEven(double v);

// How the dial divides its scale, handed over by the decoder for each main-display frame.
struct DialScaleState {
    static constexpr int kNormalScale = 80; // divisions of the function modes
    static constexpr int kWideScale = 100;  // frequency and duty modes

    bool WideScale = false;
    int DialScale = kNormalScale;
    int DialOffset = 0;
};
