#pragma once

#include <QLatin1StringView>

#include <array>
#include <cstdint>
#include <string_view>

// The symbols of the LCD mirror that a main-display frame switches on and off: the four decimal
// points and every annunciator, each named after its control in the window's layout. The order is
// the mirror's own: its controls are the five digits followed by these, so a symbol's mirror
// control is found by arithmetic, never by matching names at run time.
enum class Annunciator : std::uint8_t {
    LcdP0,
    LcdP1,
    LcdP2,
    LcdP3,
    LcdFH,
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
};

inline constexpr int kAnnunciatorCount = static_cast<int>(Annunciator::LcdMax) + 1;

// The layout's control names, in the order above; the mirror checks its own list against them at
// compile time.
inline constexpr std::array<std::string_view, kAnnunciatorCount> kAnnunciatorNames = {
    "LcdP0",   "LcdP1",    "LcdP2",  "LcdP3", "LcdFH",  "LcdAuto", "LCDRel", "LCDBF",
    "LCDHold", "LCDBATT",  "LCDFm",  "LCDDI", "LCDk",   "LCDM1",   "LCDHz",  "LCDohm",
    "LCDu",    "Lcdm",     "LCDn",   "LCDA",  "LCDF",   "LcdS",    "LcdV",   "LcdAC",
    "LcdDc1",  "Lcd100ms", "Lcd1ms", "LCD1S", "LcdREC", "LcdMin",  "LcdAvg", "LcdMax",
};

// The layout's control name, e.g. "LCDohm".
[[nodiscard]] constexpr QLatin1StringView controlName(Annunciator a) {
    const std::string_view name = kAnnunciatorNames[static_cast<std::size_t>(a)];
    return QLatin1StringView(name.data(), static_cast<qsizetype>(name.size()));
}

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
