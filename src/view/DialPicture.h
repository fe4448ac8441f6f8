#pragma once

#include "DialFace.h"

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QRgb>

#include <vector>

// The dial's picture: the face with the needle on top. Every frame sets the face up and then moves
// the needle, which first erases the previous needle in black. The face itself is drawn only when
// its inputs change; otherwise the picture goes back to a kept copy of the face, and only where
// needles were drawn since. Either way the picture is the one a full redraw would give.
//
// A needle is drawn as the runs of pixels that stroking its line covers, worked out once for each
// place it stands and kept for the places it stood last: erasing the previous needle then costs no
// stroke at all, and a needle back at a kept place none either.
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
    // One row of a needle's pixels, from `left` to `right` inclusive.
    struct Run {
        int y;
        int left;
        int right;
    };
    struct NeedleShape {
        QPoint tip;
        QPoint base;
        std::vector<Run> runs;
    };

    [[nodiscard]] QRect needleArea(QPoint tip, QPoint base) const;
    const NeedleShape& shapeOf(QPoint tip, QPoint base);
    void fillNeedle(const NeedleShape& shape, QRgb colour);
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
    std::vector<NeedleShape> shapes; // the latest used last
};
