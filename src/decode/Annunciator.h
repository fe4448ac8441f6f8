#pragma once

#include <QLatin1StringView>

#include <cstdint>

// The symbols of the LCD mirror that a main-display frame switches on and off: every annunciator
// and the four decimal points, each named after its control in the window's layout.
enum class Annunciator : std::uint8_t {
    LcdAuto,
    LCDRel,
    LCDBF,
    LCDHold,
    LCDBATT,
    LCDFm,
    LCDDI,
    LCDk,
    LCDM1,
    LCDHz,
    LCDohm,
    LCDu,
    Lcdm,
    LCDn,
    LCDA,
    LCDF,
    LcdS,
    LcdV,
    LcdAC,
    LcdDc1,
    Lcd100ms,
    Lcd1ms,
    LCD1S,
    LcdREC,
    LcdMin,
    LcdAvg,
    LcdMax,
    LcdFH,
    LcdP0,
    LcdP1,
    LcdP2,
    LcdP3,
};

inline constexpr int kAnnunciatorCount = static_cast<int>(Annunciator::LcdP3) + 1;

// The layout's control name, e.g. "LCDohm".
[[nodiscard]] QLatin1StringView controlName(Annunciator a);

// Decimal point P0..P3 as its control.
[[nodiscard]] constexpr Annunciator pointControl(int index) {
    return static_cast<Annunciator>(static_cast<int>(Annunciator::LcdP0) + index);
}

// The lit symbols of one frame as a bit set, cheap to build, copy and compare.
class AnnunciatorSet {
public:
    constexpr void set(Annunciator a, bool on = true) {
        if (on)
            m_bits |= bitOf(a);
        else
            m_bits &= ~bitOf(a);
    }
    [[nodiscard]] constexpr bool test(Annunciator a) const { return (m_bits & bitOf(a)) != 0; }
    [[nodiscard]] constexpr std::uint32_t bits() const { return m_bits; }
    [[nodiscard]] constexpr bool operator==(const AnnunciatorSet&) const = default;

private:
    [[nodiscard]] static constexpr std::uint32_t bitOf(Annunciator a) {
        return std::uint32_t{1} << static_cast<unsigned>(a);
    }
    std::uint32_t m_bits = 0;
};

static_assert(kAnnunciatorCount <= 32, "AnnunciatorSet keeps one bit per control");
