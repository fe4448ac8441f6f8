#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>

// Turns the received byte stream into meter frames: upper-case hex text, two characters per byte,
// cut after each line feed (0x0A) with the line feed included. An unfinished line is kept across
// receive events, so a frame is delivered whole however the serial poll cuts the stream.
class FrameCutter {
public:
    using FrameHandler = std::function<void(const QString& frameHex)>;

    explicit FrameCutter(FrameHandler onFrame);

    // Feeds one receive event's bytes; the handler runs once per completed frame, in order.
    void feed(const std::uint8_t* data, std::size_t size);

    // Forgets the unfinished line (on connect and disconnect, where it can only be stale).
    void reset();

    [[nodiscard]] const QString& pending() const { return m_line; }

    // A single line longer than this is not a meter frame; it is delivered as it stands so the
    // buffer cannot grow without bound on a line that never sends a line feed.
    static constexpr int kMaxLineBytes = 4096;

private:
    FrameHandler m_onFrame;
    QString m_line;
};
