#include "RequestCycle.h"

std::optional<std::uint8_t> RequestCycle::step() {
    std::optional<std::uint8_t> request;
    if (m_phase <= 2)
        request = kBarGraphRequest;
    else if (m_phase == 3)
        request = kMainDisplayRequest;
    m_phase = (m_phase + 1) % kSteps;
    return request;
}
