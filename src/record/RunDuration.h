#pragma once

#include <QString>

#include <optional>

// How long a run of recording may be given to last, and when it is over. The end is decided on a
// monotonic clock at a tick that runs anyway, never by a timer of the run's length: a timer's
// interval is an int of milliseconds, which wraps after 24.8 days.
namespace RunDuration {

// A century. The monotonic clock counts nanoseconds in 64 bits, about 292 years from boot, so
// every deadline up to this stays exact on it; a longer wish is a slip of the keyboard.
inline constexpr qint64 kLongestMs = 100LL * 365 * 24 * 3600 * 1000;

// "90", "90s", "15m", "8h" as milliseconds, from 1 s to kLongestMs; nothing otherwise, with why
// in problem.
[[nodiscard]] std::optional<qint64> fromText(const QString& text, QString& problem);

// Whether a run started at startedMs and meant to last durationMs is over at nowMs, all on the
// same monotonic clock.
[[nodiscard]] constexpr bool isOver(qint64 startedMs, qint64 durationMs, qint64 nowMs) {
    return nowMs - startedMs >= durationMs;
}

} // namespace RunDuration
