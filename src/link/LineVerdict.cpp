#include "LineVerdict.h"

#include "FrameKind.h"

namespace {

// The decoders read bytes 0 to 9 of a main-display frame and 0 to 5 of a bar-graph frame.
constexpr qsizetype kMainFrameBytes = 11;
constexpr qsizetype kBarFrameBytes = 7;

} // namespace

LineVerdict lineVerdictOf(const QString& frameHex) {
    const qsizetype bytes = frameHex.size() / 2;
    switch (frameKindOf(frameHex)) {
    case FrameKind::MainDisplay:
        return bytes < kMainFrameBytes ? LineVerdict::TooShort : LineVerdict::MainDisplay;
    case FrameKind::BarGraph:
        return bytes < kBarFrameBytes ? LineVerdict::TooShort : LineVerdict::BarGraph;
    case FrameKind::Other:
        break;
    }
    return LineVerdict::UnknownKind;
}

bool lineTooShortForKind(const QString& frameHex) {
    return lineVerdictOf(frameHex) == LineVerdict::TooShort;
}
