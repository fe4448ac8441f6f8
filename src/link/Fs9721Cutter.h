#pragma once

#include "Fs9721Decoder.h"

#include <cstddef>
#include <cstdint>
#include <functional>

// Finds the 14-byte frames of the FS9721 meters in the received byte stream by the position each
// byte carries in its high nibble: position 1 starts a frame, and each byte after it must carry
// the next position. The frame has no checksum, so a frame that lost a byte or took one twice
// would decode to a wrong reading: it is dropped and counted, never glued to the bytes around it.
class Fs9721Cutter {
public:
    using Frame = Fs9721Decoder::Frame;
    using FrameHandler = std::function<void(const Frame& frame)>;
    // Told each frame begun and not finished, with the bytes it had, so that no drop is silent.
    using DropHandler = std::function<void(const std::uint8_t* bytes, std::size_t size)>;

    explicit Fs9721Cutter(FrameHandler onFrame);

    // Feeds one receive event's bytes; the handler runs once per whole frame, in order.
    void feed(const std::uint8_t* data, std::size_t size);
    void setOnDropped(DropHandler handler) { m_onDropped = std::move(handler); }

    // Forgets the frame begun (on connect and disconnect, where it can only be stale).
    void reset() { m_size = 0; }

    [[nodiscard]] std::size_t pendingBytes() const { return m_size; }
    // Frames begun and dropped, and bytes that belonged to no frame begun.
    [[nodiscard]] std::uint64_t droppedFrames() const { return m_dropped; }
    [[nodiscard]] std::uint64_t strayBytes() const { return m_stray; }

private:
    void drop();

    FrameHandler m_onFrame;
    DropHandler m_onDropped;
    Frame m_frame{};
    std::size_t m_size = 0;
    std::uint64_t m_dropped = 0;
    std::uint64_t m_stray = 0;
};
