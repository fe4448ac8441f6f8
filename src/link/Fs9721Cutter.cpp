#include "Fs9721Cutter.h"

#include <utility>

Fs9721Cutter::Fs9721Cutter(FrameHandler onFrame) : StreamCutter(std::move(onFrame)) {}

void Fs9721Cutter::feed(const std::uint8_t* data, std::size_t size, qint64 arrivalMs) {
    if (size == 0)
        return;
    expire(arrivalMs);
    m_lastArrivalMs = arrivalMs;
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
            continue;
        }
        m_frame[m_size++] = byte;
        if (m_size < kFrameBytes)
            continue;
        m_size = 0;
        // The text is made before the handler runs, which may re-enter (a nested message loop).
        deliver(hexOf(kFrameBytes));
    }
}

// A clock that steps back gives a negative gap, which never counts as silence.
bool Fs9721Cutter::expire(qint64 nowMs) {
    if (m_size == 0 || nowMs - m_lastArrivalMs <= staleAfterMs())
        return false;
    drop();
    return true;
}

void Fs9721Cutter::drop() {
    ++m_dropped;
    const std::size_t size = std::exchange(m_size, 0);
    dropped(hexOf(size));
}

QString Fs9721Cutter::hexOf(std::size_t size) const {
    static constexpr char kHexDigits[] = "0123456789ABCDEF";
    QString hex(static_cast<qsizetype>(2 * size), Qt::Uninitialized);
    QChar* out = hex.data();
    for (std::size_t i = 0; i < size; ++i) {
        *out++ = QLatin1Char(kHexDigits[m_frame[i] >> 4]);
        *out++ = QLatin1Char(kHexDigits[m_frame[i] & 0x0F]);
    }
    return hex;
}
