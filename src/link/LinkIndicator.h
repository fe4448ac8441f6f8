#pragma once

// Whether frames keep arriving: alive on every decoded frame, and no longer alive on the third
// 100 ms tick without one (200 to 300 ms after the last frame).
class LinkIndicator {
public:
    void markAlive() {
        m_idleTicks = 0;
        m_linked = true;
    }

    // One tick of the link timer; true on every third tick without a frame, when the window
    // shows the "not linked" picture.
    bool tick() {
        if (m_idleTicks < 2) {
            ++m_idleTicks;
            return false;
        }
        m_idleTicks = 0;
        m_linked = false;
        return true;
    }

    [[nodiscard]] bool linked() const { return m_linked; }

private:
    int m_idleTicks = 0;
    bool m_linked = false;
};
