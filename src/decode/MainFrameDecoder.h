#pragma once

#include "MainDisplay.h"
#include "Reading.h"

#include <QStringView>

// Decodes a main-display frame, given as its hex text, into what the meter shows.
//
// The result depends on the frame and the window's REL state only. The window does keep dial
// values between frames (DialScale, DialOffset, WideScale), and the overload value and the dial
// position read DialScale; but every frame sets all three from its own mode before anything reads
// them, so an earlier frame never changes how a later one decodes. PrevUnitText and PrevRangeCode,
// also kept between frames, decide only whether the chart and the peaks start afresh.
class MainFrameDecoder {
public:
    // relPressState is the window's REL key state: 0 off, 1 relative, 2 relative percent (any
    // other value counts as 0). A short or malformed frame still decodes: a missing status
    // character repeats the one before it, a missing digit reads as 0, a non-hex character as 0.
    [[nodiscard]] static MainDisplay decode(QStringView frameHex, int relPressState);

    // The part of a decoded frame that the dial, the limits, recording and the chart read.
    [[nodiscard]] static Reading readingOf(const MainDisplay& display);
};
