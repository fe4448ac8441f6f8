#pragma once

#include <cstdint>
#include <optional>

// The meter's front-panel keys as the window offers them. Each key has an even code for a long
// press and the next odd code for a short one.
enum class MeterKey { Range, Hz, Hold, Rel, Record, Peak, Buzzer, Sel };

[[nodiscard]] constexpr std::uint8_t longPressCode(MeterKey key) {
    switch (key) {
    case MeterKey::Range:
        return 0xA0;
    case MeterKey::Hz:
        return 0xA2;
    case MeterKey::Hold:
        return 0xA4;
    case MeterKey::Rel:
        return 0xA6;
    case MeterKey::Record:
        return 0xA8;
    case MeterKey::Peak:
    case MeterKey::Buzzer:
        return 0xAA;
    case MeterKey::Sel:
        return 0xAC;
    }
    return 0xA0;
}

// The code sent at release: the long code once the press has lasted the long-press time.
[[nodiscard]] constexpr std::uint8_t keyCodeAtRelease(std::uint8_t keyBaseCode, bool longPress) {
    return longPress ? keyBaseCode : static_cast<std::uint8_t>(keyBaseCode + 1);
}

// REL cycles the window's idea of the meter's relative mode: 0 off, 1 relative, 2 relative percent.
[[nodiscard]] constexpr int nextRelPressState(int state) {
    return state == 0 ? 1 : state == 1 ? 2 : 0;
}
