#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

// Which way bytes crossed the line, seen from the program.
enum class CaptureDirection { Received, Sent };

// One receive or send event of a capture: when it happened (milliseconds since the capture
// began), which way the bytes went, and the bytes as the serial component moved them.
struct CaptureEvent {
    std::int64_t timeMs = 0;
    CaptureDirection direction = CaptureDirection::Received;
    std::vector<std::uint8_t> bytes;

    bool operator==(const CaptureEvent&) const = default;
};

// The plain-text capture file, one line per event:
//
//   # velmar capture 1
//   12.345 > 89
//   12.357 < 89700800000F010203040A
//
// time in seconds since the capture began with three decimals, "<" for bytes received from the
// meter or ">" for bytes sent to it, and the bytes as upper-case hex without spaces. Lines
// starting with "#" are comments: the first names the format and its version, later ones note
// the port being opened and closed. Readers also take lower-case hex, runs of spaces or tabs
// between the fields and Windows line ends.
namespace capture {
inline constexpr std::string_view kHeader = "# velmar capture 1";
inline constexpr char kReceivedMark = '<';
inline constexpr char kSentMark = '>';
} // namespace capture
