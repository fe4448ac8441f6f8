#pragma once

#include "DialFace.h"

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QRgb>

// The dial's picture: the face with the needle on top. Every frame sets the face up and then moves
// the needle, which first erases the previous needle in black. The face itself is drawn only when
// its inputs change; otherwise the picture goes back to a kept copy of the face, and only where
// needles were drawn since. Either way the picture is the one a full redraw would give.
//
// The needle is drawn straight from its geometry, antialiased: each pixel near its line takes the
// share of it the stroke covers, worked out from the pixel's distance to the line. Nothing is
// painted off-picture and no mask is read back, so a needle costs a few hundred pixels wherever
// it stands.
class DialPicture {
public:
    // KDsetup: the face alone, without the needle.
    void setup(const DialFace& face);

    // KDrun: erases the previous needle in black and draws the needle for `position` in white.
    // `dialScale` * 10 is the scale's length in positions and `dialOffset` is added to `position`.
    void run(int position, int dialScale, int dialOffset);

    [[nodiscard]] const QImage& image() const { return picture; }
    [[nodiscard]] QPoint needleTip() const { return NeedleTip; }
    [[nodiscard]] QPoint needleBase() const { return NeedleBase; }

    // The part of the picture changed since the last call, for a partial repaint.
    [[nodiscard]] QRect takeChangedArea();

    // How often the face was drawn in full (for tests and benchmarks).
    [[nodiscard]] int faceDrawCount() const { return faceDraws; }

private:
    [[nodiscard]] QRect needleArea(QPoint tip, QPoint base) const;
    void strokeNeedle(QPoint tip, QPoint base, QRgb colour);
    void restoreFace(const QRect& area);

    DialFace lastFace;
    bool hasFace = false;
    QImage face;
    QImage picture;
    QPoint NeedleTip; // the needle as last drawn; both (0, 0) before the first
    QPoint NeedleBase;
    QRect needlesArea; // where the picture may differ from the face
    QRect changed;
    int faceDraws = 0;
};
