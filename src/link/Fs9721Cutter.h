#pragma once

#include "StreamCutter.h"

#include <array>
#include <cstddef>
#include <cstdint>

// The cutter of the meters built on the FS9721 display chip, whose 14-byte frames carry each
// byte's position (1 to 14) in its high nibble: position 1 starts a frame, and each byte after it
// must carry the next position. The frame has no checksum, so a frame that lost a byte or took
// one twice would decode to a wrong reading: it is dropped (told as an unfinished frame) and
// counted, never glued to the bytes around it. Bytes outside a frame begun are passed over.
class Fs9721Cutter final : public StreamCutter {
public:
    static constexpr std::size_t kFrameBytes = 14;

    explicit Fs9721Cutter(FrameHandler onFrame);

    void feed(const std::uint8_t* data, std::size_t size, qint64 arrivalMs) override;
    // A frame begun and left waiting longer than the stale time is dropped.
    bool expire(qint64 nowMs) override;
    void reset() override { m_size = 0; }

    [[nodiscard]] std::size_t pendingBytes() const { return m_size; }
    // Frames begun and dropped.
    [[nodiscard]] std::uint64_t droppedFrames() const { return m_dropped; }

private:
    void drop();
    [[nodiscard]] QString hexOf(std::size_t size) const;

    std::array<std::uint8_t, kFrameBytes> m_frame{};
    std::size_t m_size = 0;
    qint64 m_lastArrivalMs = 0;
    std::uint64_t m_dropped = 0;
};
