#pragma once

#include <cstdint>
#include <optional>

// The meter's front-panel keys as the window offers them. Each key has an even code for a long
// press and the next odd code for a short one; longPressCode gives this family's.
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

// A key held this long (monotonic milliseconds) or longer sends its long code.
inline constexpr std::int64_t kLongPressMs = 1000;

// A key panel held down: the long code of the key pressed last, and the moment the long-press
// time counts from.
struct HeldKey {
    std::uint8_t longCode = 0;
    std::int64_t sinceMs = 0;
};

// A press while a key is held (another key, or a second mouse button on the same one) takes the
// new key but leaves the long-press time counting from the earlier press, unless that time has
// run out already; then it counts afresh.
// longCode is the long-press code of the key pressed, as the meter's model gives it.
[[nodiscard]] constexpr HeldKey keyPressed(const std::optional<HeldKey>& held,
                                           std::uint8_t longCode, std::int64_t nowMs) {
    const bool counting = held && nowMs - held->sinceMs < kLongPressMs;
    return {longCode, counting ? held->sinceMs : nowMs};
}

// The code a release sends: the long code once the key has been held kLongPressMs, the short one
// before. None when no key is held, as after a second button's release: its press was the same
// press, whose code the first release sent.
[[nodiscard]] constexpr std::optional<std::uint8_t>
keyCodeAtRelease(const std::optional<HeldKey>& held, std::int64_t releasedMs) {
    if (!held)
        return std::nullopt;
    if (releasedMs - held->sinceMs >= kLongPressMs)
        return held->longCode;
    return static_cast<std::uint8_t>(held->longCode + 1);
}

// REL cycles the window's idea of the meter's relative mode: 0 off, 1 relative, 2 relative percent.
[[nodiscard]] constexpr int nextRelPressState(int state) {
    return state == 0 ? 1 : state == 1 ? 2 : 0;
}
