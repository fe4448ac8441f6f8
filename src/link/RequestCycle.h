#pragma once

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

// The request cycle that keeps the meter talking, one step per 100 ms tick. The meters of this
// family take five: three bar-graph requests, one main-display request and a pause, so that a
// whole cycle is 500 ms.
class RequestCycle {
public:
    static constexpr std::uint8_t kBarGraphRequest = 0x8A;
    static constexpr std::uint8_t kMainDisplayRequest = 0x89;
    static constexpr int kSteps = 5;

    using Steps = std::vector<std::optional<std::uint8_t>>;
    RequestCycle()
        : RequestCycle(Steps{kBarGraphRequest, kBarGraphRequest, kBarGraphRequest,
                             kMainDisplayRequest, std::nullopt}) {}
    explicit RequestCycle(Steps steps) : m_steps(std::move(steps)) {}

    // The byte to send at this tick (none in a pause), and moves on to the next step.
    [[nodiscard]] std::optional<std::uint8_t> step();

    [[nodiscard]] int phase() const { return m_phase; }

private:
    Steps m_steps;
    int m_phase = 0; // PollPhase
};
