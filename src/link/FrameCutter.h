#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <utility>

// Turns the received byte stream into meter frames: upper-case hex text, two characters per byte,
// cut after each line feed (0x0A) with the line feed included. An unfinished line is kept across
// receive events, so a frame is delivered whole however the serial poll cuts the stream.
class FrameCutter {
public:
    using FrameHandler = std::function<void(const QString& frameHex)>;
    // Told the hex text of each unfinished line dropped as stale, so that no drop is silent.
    using StaleLineHandler = std::function<void(const QString& lineHex)>;

    explicit FrameCutter(FrameHandler onFrame);

    // Feeds one receive event's bytes; the handler runs once per completed frame, in order.
    void feed(const std::uint8_t* data, std::size_t size);

    // The same for bytes that arrived at arrivalMs, on any monotonic millisecond clock. An
    // unfinished line whose last byte came longer than the stale time (setStaleAfterMs) before is
    // dropped first: a meter switched off mid-frame must not glue its half frame onto the next good
    // one.
    void feed(const std::uint8_t* data, std::size_t size, qint64 arrivalMs);

    // Drops the unfinished line when it has gone stale by nowMs; true when it dropped one. Lets a
    // tick report a dropped line without waiting for the next byte.
    bool expire(qint64 nowMs);

    // Two receive polls: a frame takes about 12 ms on the line, so its bytes never lie further
    // apart than one poll, and a late poll on a busy machine still finds the line kept. A reader
    // that polls less often than the window must widen the bound with it.
    [[nodiscard]] static constexpr qint64 staleAfterForPoll(qint64 pollMs) { return 2 * pollMs; }
    // Two of the window's receive polls of 50 ms; the request period is 500 ms.
    static constexpr qint64 kDefaultStaleAfterMs = 2 * 50;
    void setStaleAfterMs(qint64 milliseconds) { m_staleAfterMs = milliseconds; }
    void setOnStaleLine(StaleLineHandler handler) { m_onStaleLine = std::move(handler); }

    // Forgets the unfinished line (on connect and disconnect, where it can only be stale).
    void reset();

    [[nodiscard]] const QString& pending() const { return m_line; }

    // A single line longer than this is not a meter frame; it is delivered as it stands so the
    // buffer cannot grow without bound on a line that never sends a line feed.
    static constexpr int kMaxLineBytes = 4096;

private:
    FrameHandler m_onFrame;
    QString m_line;
    bool dropIfStale(qint64 nowMs);

    StaleLineHandler m_onStaleLine;
    qint64 m_staleAfterMs = kDefaultStaleAfterMs;
    qint64 m_lastArrivalMs = 0;
};
