#pragma once

#include <QString>

// What the window's dispatch does with one completed line: its kind, named by its first byte
// (decode's frameKindOf), and whether it is long enough for that kind's decoder.
enum class LineVerdict {
    MainDisplay, // 0x89: to the main-display decoder
    BarGraph,    // 0x8A: to the bar-graph decoder
    TooShort,    // a known kind, but too few bytes to be a whole frame of it
    UnknownKind, // any other first byte: traced only
};

[[nodiscard]] LineVerdict lineVerdictOf(const QString& frameHex);

// True when the line's first byte names a frame kind but the line lacks bytes that kind's decoder
// reads (under 11 bytes for 0x89, 7 for 0x8A, line feed included). A dropped byte would otherwise
// turn into a stored wrong reading.
[[nodiscard]] bool lineTooShortForKind(const QString& frameHex);
