#pragma once

#include "CaptureEvent.h"

#include <cstdint>
#include <functional>
#include <istream>
#include <optional>
#include <string>
#include <string_view>

// A line of a capture file that could not be read, with its number counting from 1.
struct CaptureProblem {
    std::int64_t line = 0;
    std::string text;
};

// Reads the events of a capture file in order. A line that is not an event or a comment is
// handed to the problem handler with its number and skipped; so is a line longer than any event
// the serial component can produce, without holding it in memory. Nothing in the input stops
// the reader before its end.
class CaptureReader {
public:
    using ProblemHandler = std::function<void(const CaptureProblem& problem)>;

    // What one line holds.
    struct Line {
        enum class Kind { Blank, Comment, Event, Bad };
        Kind kind = Kind::Blank;
        CaptureEvent event;  // Event only
        std::string problem; // Bad only: why, for a message
    };

    // Longer lines are reported and skipped: an event of 65,535 bytes, the largest receive
    // buffer the serial component takes, is 131,070 hex digits.
    static constexpr std::size_t kMaxLineChars = 1 << 20;

    explicit CaptureReader(std::istream& in, ProblemHandler onProblem = {});

    // The next event, or nothing at the end of the input.
    [[nodiscard]] std::optional<CaptureEvent> next();

    [[nodiscard]] std::int64_t problemCount() const { return m_problemCount; }

    [[nodiscard]] static Line parseLine(std::string_view line);

private:
    // Reads one line into m_line; false at the end. Sets m_tooLong for a line over the bound.
    [[nodiscard]] bool readLine();
    void report(std::string text);

    std::istream& m_in;
    ProblemHandler m_onProblem;
    std::string m_line;
    bool m_tooLong = false;
    std::int64_t m_lineNumber = 0;
    std::int64_t m_problemCount = 0;
};
