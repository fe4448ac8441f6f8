#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <utility>

// Turns a meter's received byte stream into its frames, as upper-case hex text, two characters
// per byte. Each family of meters marks its frames its own way (a line feed, a position in every
// byte); the session holds the one its model names and feeds it every receive event.
class StreamCutter {
public:
    using FrameHandler = std::function<void(const QString& frameHex)>;
    // Told the hex text of each unfinished frame dropped, so that no drop is silent.
    using StaleLineHandler = std::function<void(const QString& lineHex)>;

    explicit StreamCutter(FrameHandler onFrame) : m_onFrame(std::move(onFrame)) {}
    virtual ~StreamCutter() = default;
    StreamCutter(const StreamCutter&) = delete;
    StreamCutter& operator=(const StreamCutter&) = delete;
    StreamCutter(StreamCutter&&) = delete;
    StreamCutter& operator=(StreamCutter&&) = delete;

    // The bytes of one receive event, which arrived at arrivalMs on any monotonic millisecond
    // clock; the frame handler runs once per completed frame, in order.
    virtual void feed(const std::uint8_t* data, std::size_t size, qint64 arrivalMs) = 0;
    // Drops the unfinished frame when it has gone stale by nowMs; true when it dropped one. Lets
    // a tick report a dropped frame without waiting for the next byte.
    virtual bool expire(qint64 nowMs) = 0;
    // Forgets the unfinished frame (on connect and disconnect, where it can only be stale).
    virtual void reset() = 0;

    // An unfinished frame whose last byte came longer than this before is stale.
    void setStaleAfterMs(qint64 milliseconds) { m_staleAfterMs = milliseconds; }
    void setOnStaleLine(StaleLineHandler handler) { m_onStaleLine = std::move(handler); }

    // Two receive polls: a frame takes about 12 ms on the line, so its bytes never lie further
    // apart than one poll, and a late poll on a busy machine still finds the frame kept. A reader
    // that polls less often than the window must widen the bound with it.
    [[nodiscard]] static constexpr qint64 staleAfterForPoll(qint64 pollMs) { return 2 * pollMs; }
    // Two of the window's receive polls of 50 ms; the request period is 500 ms.
    static constexpr qint64 kDefaultStaleAfterMs = 2 * 50;

protected:
    void deliver(const QString& frameHex) { m_onFrame(frameHex); }
    void dropped(const QString& lineHex) {
        if (m_onStaleLine)
            m_onStaleLine(lineHex);
    }
    [[nodiscard]] qint64 staleAfterMs() const { return m_staleAfterMs; }

private:
    FrameHandler m_onFrame;
    StaleLineHandler m_onStaleLine;
    qint64 m_staleAfterMs = kDefaultStaleAfterMs;
};
