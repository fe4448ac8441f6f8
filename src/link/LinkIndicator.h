#pragma once

// Whether frames keep arriving: alive on every decoded frame, and no longer alive on the tick
// after idleTicks 100 ms ticks without one (by default the third: 200 to 300 ms after the last
// frame).
class LinkIndicator {
public:
    explicit LinkIndicator(int idleTicks = 2) : m_limit(idleTicks) {}

    void markAlive() {
        m_idleTicks = 0;
        m_linked = true;
    }

    // One tick of the link timer; true on every tick after idleTicks without a frame, when the
    // window shows the "not linked" picture.
    bool tick() {
        if (m_idleTicks < m_limit) {
            ++m_idleTicks;
            return false;
        }
        m_idleTicks = 0;
        m_linked = false;
        return true;
    }

    [[nodiscard]] bool linked() const { return m_linked; }

    // Unlinked, as before the first frame; the time-out stays.
    void reset() {
        m_idleTicks = 0;
        m_linked = false;
    }

private:
    int m_limit;
    int m_idleTicks = 0;
    bool m_linked = false;
};
