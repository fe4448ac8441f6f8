#pragma once

#include "StreamCutter.h"

#include <QString>

#include <cstddef>
#include <cstdint>

// The cutter of the meters that end each frame with a line feed: cuts after each line feed (0x0A),
// the line feed included. An unfinished line is kept across receive events, so a frame is
// delivered whole however the serial poll cuts the stream.
class FrameCutter final : public StreamCutter {
public:
    explicit FrameCutter(FrameHandler onFrame);

    // Feeds one receive event's bytes; the handler runs once per completed frame, in order.
    void feed(const std::uint8_t* data, std::size_t size);

    // The same for bytes that arrived at arrivalMs, on any monotonic millisecond clock. An
    // unfinished line whose last byte came longer than the stale time (setStaleAfterMs) before is
    // dropped first: a meter switched off mid-frame must not glue its half frame onto the next good
    // one.
    void feed(const std::uint8_t* data, std::size_t size, qint64 arrivalMs) override;

    // Drops the unfinished line when it has gone stale by nowMs; true when it dropped one. Lets a
    // tick report a dropped line without waiting for the next byte.
    bool expire(qint64 nowMs) override;

    // Forgets the unfinished line (on connect and disconnect, where it can only be stale).
    void reset() override;

    [[nodiscard]] const QString& pending() const { return m_line; }

    // A single line longer than this is not a meter frame; it is delivered as it stands so the
    // buffer cannot grow without bound on a line that never sends a line feed.
    static constexpr int kMaxLineBytes = 4096;

private:
    QString m_line;
    bool dropIfStale(qint64 nowMs);

    qint64 m_lastArrivalMs = 0;
};
