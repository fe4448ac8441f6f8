#pragma once

#include "MainDisplay.h"

#include <QStringView>

#include <array>
#include <cstdint>
#include <optional>

// Decodes the 14-byte frame of the meters built on the FS9721_LP3 display chip. Each byte's high
// nibble is its position (1 to 14) and its low nibble four of the LCD's segments or symbols, so
// the frame is the LCD itself: four seven-segment digits, three points, the sign and the symbols.
// What the meter means is read off that picture into the same MainDisplay the other decoders
// give, so that the dial, limits, recording, table and broker need not know the family.
class Fs9721Decoder {
public:
    static constexpr std::size_t kFrameBytes = 14;
    using Frame = std::array<std::uint8_t, kFrameBytes>;

    // 4000 counts; an overload reads as one count beyond.
    static constexpr int kFullScale = 4000;

    // The symbols of the LCD, each one bit of the frame.
    enum class Symbol : std::uint8_t {
        Ac,
        Dc,
        Auto,
        Rs232,
        Minus,
        Point1, // between the first and second digit
        Point2,
        Point3,
        Micro,
        Nano,
        Kilo,
        Diode,
        Milli,
        Percent,
        Mega,
        Beep,
        Farad,
        Ohm,
        Rel,
        Hold,
        Ampere,
        Volt,
        Hertz,
        LowBattery,
        Hfe,
        Celsius,
        Max,
        Min,
    };
    static constexpr int kSymbolCount = static_cast<int>(Symbol::Min) + 1;

    // Where a symbol lies: the frame byte (0 to 13) and the bit of its low nibble.
    struct Place {
        int byte;
        int bit;
    };
    [[nodiscard]] static Place placeOf(Symbol symbol);

    // The LCD as the frame draws it: each digit '0' to '9', 'L', ' ' for a blank digit, or '?'
    // for a pattern that is no character; and the lit symbols.
    struct Lcd {
        std::array<char, 4> digits{};
        std::uint32_t symbols = 0;
        [[nodiscard]] bool has(Symbol s) const {
            return (symbols >> static_cast<unsigned>(s) & 1U) != 0;
        }
    };
    [[nodiscard]] static Lcd lcdOf(const Frame& frame);

    // A digit's seven segments as the frame's two nibbles carry them: bits 6..4 from the first
    // byte's low three bits, bits 3..0 from the second byte's nibble.
    [[nodiscard]] static char characterOf(int segments);

    // The frame a cutter handed over as hex text: 28 hex characters whose bytes carry the
    // positions 1 to 14 in turn; none for anything else.
    [[nodiscard]] static std::optional<Frame> frameOf(QStringView hex);

    // Unlike the other family, the meter keeps its own REL state and shows it on the LCD, so the
    // window's REL key plays no part.
    [[nodiscard]] static MainDisplay decode(const Frame& frame);
};
