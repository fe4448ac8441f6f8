#include "FrameCutter.h"

#include <utility>

static_assert(FrameCutter::kDefaultStaleAfterMs == FrameCutter::staleAfterForPoll(50));

namespace {
constexpr char kHexDigits[] = "0123456789ABCDEF";
}

FrameCutter::FrameCutter(FrameHandler onFrame) : StreamCutter(std::move(onFrame)) {
    m_line.reserve(64);
}

void FrameCutter::feed(const std::uint8_t* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t byte = data[i];
        m_line.append(QLatin1Char(kHexDigits[byte >> 4]));
        m_line.append(QLatin1Char(kHexDigits[byte & 0x0F]));
        if (byte != 0x0A && m_line.size() < 2 * kMaxLineBytes)
            continue;
        // Hand over a copy and clear first: the handler may re-enter (a nested message loop).
        const QString frame = std::exchange(m_line, QString());
        m_line.reserve(64);
        deliver(frame);
    }
}

void FrameCutter::feed(const std::uint8_t* data, std::size_t size, qint64 arrivalMs) {
    if (size == 0)
        return;
    dropIfStale(arrivalMs);
    m_lastArrivalMs = arrivalMs;
    feed(data, size);
}

bool FrameCutter::expire(qint64 nowMs) {
    return dropIfStale(nowMs);
}

// A clock that steps back gives a negative gap, which never counts as silence.
bool FrameCutter::dropIfStale(qint64 nowMs) {
    if (m_line.isEmpty() || nowMs - m_lastArrivalMs <= staleAfterMs())
        return false;
    const QString stale = std::exchange(m_line, QString());
    m_line.reserve(64);
    dropped(stale);
    return true;
}

void FrameCutter::reset() {
    m_line.clear();
}
