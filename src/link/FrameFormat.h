#pragma once

#include "BarFrameDecoder.h"
#include "LineVerdict.h"
#include "MainDisplay.h"
#include "StreamCutter.h"

#include <QString>
#include <QStringView>

#include <functional>
#include <memory>

// What a bar-graph frame comes to: the digits it carries, as the window shows them (MltDigits),
// and the bar they set.
struct BarFrame {
    QString digits;
    BarGraph graph;
};

// How one family of meters frames what it says: how its byte stream is cut into frames, what
// kind each completed frame is, and the decoders that turn a frame into what the meter shows. A
// new family is one more value (and its cutter and decoder); the session asks nothing else of it.
struct FrameFormat {
    // A cutter for the family's byte stream, calling onFrame with each completed frame.
    std::function<std::unique_ptr<StreamCutter>(StreamCutter::FrameHandler onFrame)> cutter;
    // Which decoder a completed frame goes to; only MainDisplay and BarGraph frames are decoded.
    // A known kind with bytes missing must say TooShort: a frame that lost a byte would
    // otherwise become a stored wrong reading.
    std::function<LineVerdict(const QString& frameHex)> verdictOf;
    // A main-display frame into the display, the Reading (MainFrameDecoder::readingOf) and the
    // dial's values. relPressState is the REL key's state (0 off, 1 relative, 2 percent), for a
    // meter that leaves the relative mode to the program.
    std::function<MainDisplay(QStringView frameHex, int relPressState)> decodeMain;
    // A bar-graph frame; null for a meter that sends none.
    std::function<BarFrame(const QString& frameHex)> decodeBar;

    // The meters that answer 0x89 with a main-display frame and 0x8A with a bar-graph frame,
    // each ended by a line feed.
    [[nodiscard]] static FrameFormat lineFeedFrames();
    // The meters built on the FS9721 display chip: 14-byte frames sent without a request, each
    // byte carrying its position; every whole frame is a main-display frame, and there is no bar
    // graph.
    [[nodiscard]] static FrameFormat fs9721Frames();
};
