#include "RequestCycle.h"

std::optional<std::uint8_t> RequestCycle::step() {
    if (m_steps.empty())
        return std::nullopt;
    const std::optional<std::uint8_t> request = m_steps[static_cast<std::size_t>(m_phase)];
    m_phase = (m_phase + 1) % static_cast<int>(m_steps.size());
    return request;
}
