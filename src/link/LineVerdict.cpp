#include "LineVerdict.h"

namespace {

// The decoders read bytes 0 to 9 of a main-display frame and 0 to 5 of a bar-graph frame.
constexpr qsizetype kMainFrameBytes = 11;
constexpr qsizetype kBarFrameBytes = 7;

LineVerdict kindOf(const QString& frameHex) {
    if (frameHex.startsWith(QLatin1String("89")))
        return LineVerdict::MainDisplay;
    if (frameHex.startsWith(QLatin1String("8A")))
        return LineVerdict::BarGraph;
    return LineVerdict::UnknownKind;
}

} // namespace

LineVerdict lineVerdictOf(const QString& frameHex) {
    return lineTooShortForKind(frameHex) ? LineVerdict::TooShort : kindOf(frameHex);
}

bool lineTooShortForKind(const QString& frameHex) {
    const qsizetype bytes = frameHex.size() / 2;
    switch (kindOf(frameHex)) {
    case LineVerdict::MainDisplay:
        return bytes < kMainFrameBytes;
    case LineVerdict::BarGraph:
        return bytes < kBarFrameBytes;
    default:
        return false;
    }
}
