#pragma once

// Whether frames keep arriving: alive on every decoded frame, and no longer alive on the n-th
// 100 ms tick without one; for the meters that answer every 100 ms, the third (200 to 300 ms
// after the last frame).
class LinkIndicator {
public:
    static constexpr int kLostAfterTicks = 3;

    explicit LinkIndicator(int lostAfterTicks = kLostAfterTicks)
        : m_lostAfterTicks(lostAfterTicks) {}

    void markAlive() {
        m_idleTicks = 0;
        m_linked = true;
    }

    // One tick of the link timer; true on every n-th tick without a frame, when the window
    // shows the "not linked" picture.
    bool tick() {
        if (m_idleTicks < m_lostAfterTicks - 1) {
            ++m_idleTicks;
            return false;
        }
        m_idleTicks = 0;
        m_linked = false;
        return true;
    }

    [[nodiscard]] bool linked() const { return m_linked; }

private:
    int m_lostAfterTicks;
    int m_idleTicks = 0;
    bool m_linked = false;
};
