#pragma once

#include <cstdint>
#include <optional>

// The five-step request cycle that keeps the meter talking: three bar-graph requests, one
// main-display request and a pause, one step per 100 ms tick, so that a whole cycle is 500 ms.
class RequestCycle {
public:
    static constexpr std::uint8_t kBarGraphRequest = 0x8A;
    static constexpr std::uint8_t kMainDisplayRequest = 0x89;
    static constexpr int kSteps = 5;

    // The byte to send at this tick (none in the pause), and moves on to the next step.
    [[nodiscard]] std::optional<std::uint8_t> step();

    [[nodiscard]] int phase() const { return m_phase; }

private:
    int m_phase = 0; // PollPhase
};
