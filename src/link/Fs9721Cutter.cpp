#include "Fs9721Cutter.h"

#include <utility>

Fs9721Cutter::Fs9721Cutter(FrameHandler onFrame) : m_onFrame(std::move(onFrame)) {}

void Fs9721Cutter::feed(const std::uint8_t* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t byte = data[i];
        const auto position = static_cast<std::size_t>(byte >> 4);
        if (position == 1) {
            if (m_size > 0)
                drop();
            m_frame[0] = byte;
            m_size = 1;
            continue;
        }
        if (m_size == 0 || position != m_size + 1) {
            if (m_size > 0)
                drop();
            ++m_stray;
            continue;
        }
        m_frame[m_size++] = byte;
        if (m_size < m_frame.size())
            continue;
        m_size = 0;
        // A copy: the handler may re-enter (a nested message loop) and feed again.
        const Frame frame = m_frame;
        m_onFrame(frame);
    }
}

void Fs9721Cutter::drop() {
    ++m_dropped;
    const std::size_t size = std::exchange(m_size, 0);
    if (m_onDropped)
        m_onDropped(m_frame.data(), size);
}
