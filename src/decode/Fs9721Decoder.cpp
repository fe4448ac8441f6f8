#include "Fs9721Decoder.h"

#include "HexNibble.h"

#include <algorithm>

namespace {

using Symbol = Fs9721Decoder::Symbol;
using enum Annunciator;

// The chip's segment table: each symbol's frame byte and bit, in the order of Symbol. The two low
// bits of the last byte are left to the meter's maker; the meters that show MIN and MAX put them
// there.
constexpr std::array<Fs9721Decoder::Place, Fs9721Decoder::kSymbolCount> kPlaces{{
    {0, 3},  {0, 2},  {0, 1},  {0, 0},  // AC, DC, AUTO, RS232
    {1, 3},  {3, 3},  {5, 3},  {7, 3},  // sign, P1, P2, P3
    {9, 3},  {9, 2},  {9, 1},  {9, 0},  // µ, n, k, diode
    {10, 3}, {10, 2}, {10, 1}, {10, 0}, // m, %, M, beep
    {11, 3}, {11, 2}, {11, 1}, {11, 0}, // F, Ω, REL, HOLD
    {12, 3}, {12, 2}, {12, 1}, {12, 0}, // A, V, Hz, low battery
    {13, 3}, {13, 2}, {13, 1}, {13, 0}, // hFE, °C, MAX, MIN
}};

// Segment bits: 6 lower left, 5 upper left, 4 top, 3 bottom, 2 lower right, 1 middle, 0 upper
// right.
struct Glyph {
    char character;
    int segments;
};
constexpr std::array<Glyph, 12> kGlyphs{{{'0', 0x7D},
                                         {'1', 0x05},
                                         {'2', 0x5B},
                                         {'3', 0x1F},
                                         {'4', 0x27},
                                         {'5', 0x3E},
                                         {'6', 0x7E},
                                         {'7', 0x15},
                                         {'8', 0x7F},
                                         {'9', 0x3F},
                                         {'L', 0x68},
                                         {' ', 0x00}}};

// The mirror's control for each symbol the mirror has; the others (RS232, beep, hFE, °C) have
// none and show only in the unit text where they change it.
struct MirrorSymbol {
    Symbol symbol;
    Annunciator control;
};
constexpr std::array<MirrorSymbol, 21> kMirror{
    {{Symbol::Ac, LcdAC},      {Symbol::Dc, LcdDc1},    {Symbol::Auto, LcdAuto},
     {Symbol::Minus, LcdFH},   {Symbol::Point1, LcdP1}, {Symbol::Point2, LcdP2},
     {Symbol::Point3, LcdP3},  {Symbol::Micro, LCDu},   {Symbol::Nano, LCDn},
     {Symbol::Kilo, LCDk},     {Symbol::Diode, LCDDI},  {Symbol::Milli, Lcdm},
     {Symbol::Percent, LCDBF}, {Symbol::Mega, LCDM1},   {Symbol::Farad, LCDF},
     {Symbol::Ohm, LCDohm},    {Symbol::Rel, LCDRel},   {Symbol::Hold, LCDHold},
     {Symbol::Ampere, LCDA},   {Symbol::Volt, LcdV},    {Symbol::Hertz, LCDHz}}};

constexpr int kWideScale = 10000; // frequency and duty run to 9999 counts

[[nodiscard]] int digitSegments(const Fs9721Decoder::Frame& frame, int digit) {
    const std::size_t first = 1 + 2 * static_cast<std::size_t>(digit);
    return (frame[first] & 0x07) << 4 | (frame[first + 1] & 0x0F);
}

[[nodiscard]] QString captionOf(char c) {
    if (c >= '0' && c <= '9')
        return QString(QLatin1Char(c));
    if (c == 'L')
        return QStringLiteral("@"); // the display font's L
    return {};
}

// The unit in the display font's characters, prefix first; percent, degrees and the diode
// replace the whole text.
[[nodiscard]] QString unitTextOf(const Fs9721Decoder::Lcd& lcd) {
    if (lcd.has(Symbol::Percent))
        return QStringLiteral("%");
    if (lcd.has(Symbol::Celsius))
        return QStringLiteral("\u00B0C");
    if (lcd.has(Symbol::Diode))
        return QStringLiteral(")V");
    struct Part {
        Symbol symbol;
        const char* text;
    };
    static constexpr std::array<Part, 10> kParts{{{Symbol::Kilo, "k"},
                                                  {Symbol::Mega, "M"},
                                                  {Symbol::Milli, "m"},
                                                  {Symbol::Micro, "u"},
                                                  {Symbol::Nano, "n"},
                                                  {Symbol::Ampere, "A"},
                                                  {Symbol::Volt, "V"},
                                                  {Symbol::Ohm, "*"},
                                                  {Symbol::Hertz, "Hz"},
                                                  {Symbol::Farad, "F"}}};
    QString text;
    for (const Part& part : kParts) {
        if (lcd.has(part.symbol))
            text += QLatin1StringView(part.text);
    }
    return text;
}

// The display as text: the sign, the shown digits with the points lit between them; leading
// blanks are left out, and an overload keeps its "L".
[[nodiscard]] QString readingTextOf(const Fs9721Decoder::Lcd& lcd) {
    QString text;
    if (lcd.has(Symbol::Minus))
        text += u'-';
    constexpr std::array<Symbol, 3> kPoints{Symbol::Point1, Symbol::Point2, Symbol::Point3};
    for (std::size_t d = 0; d < lcd.digits.size(); ++d) {
        if (d > 0 && lcd.has(kPoints[d - 1]))
            text += u'.';
        const char c = lcd.digits[d];
        if (c != ' ')
            text += QLatin1Char(c);
    }
    return text;
}

// 0.5 * l rounded to the nearest integer, halves to even: the dial's step, as the other decoder
// takes it.
[[nodiscard]] constexpr int halfRoundedToEven(int l) {
    if (l % 2 == 0)
        return l / 2;
    const int below = (l - 1) / 2;
    return below % 2 == 0 ? below : below + 1;
}

void setValues(const Fs9721Decoder::Lcd& lcd, MainDisplay& out) {
    const int sign = lcd.has(Symbol::Minus) ? -1 : 1;
    const bool overload = std::ranges::find(lcd.digits, 'L') != lcd.digits.end();
    const int half = out.dialScale * 5;
    if (overload) {
        out.readingValue = static_cast<float>(sign * (Fs9721Decoder::kFullScale + 1));
        out.chartValue = sign * Fs9721Decoder::kFullScale;
        out.dialPosition = sign < 0 ? 0 : 2 * half;
        return;
    }
    int count = 0;
    for (const char c : lcd.digits)
        count = count * 10 + (c >= '0' && c <= '9' ? c - '0' : 0);
    out.readingValue = static_cast<float>(sign * count);
    out.chartValue = sign * count;
    out.dialPosition = std::clamp(halfRoundedToEven(sign * count / 10) + half, 0, 2 * half);
}

} // namespace

Fs9721Decoder::Place Fs9721Decoder::placeOf(Symbol symbol) {
    return kPlaces[static_cast<std::size_t>(symbol)];
}

char Fs9721Decoder::characterOf(int segments) {
    for (const Glyph& g : kGlyphs) {
        if (g.segments == segments)
            return g.character;
    }
    return '?';
}

std::optional<Fs9721Decoder::Frame> Fs9721Decoder::frameOf(QStringView hex) {
    constexpr auto kFrameChars = static_cast<qsizetype>(kFrameBytes) * 2;
    if (hex.size() != kFrameChars)
        return std::nullopt;
    Frame frame{};
    for (qsizetype at = 0; at < kFrameChars; at += 2) {
        const auto i = static_cast<std::size_t>(at / 2);
        const int position = hexNibble(hex[at]);
        if (position != static_cast<int>(i + 1))
            return std::nullopt;
        frame[i] = static_cast<std::uint8_t>(position << 4 | hexNibble(hex[at + 1]));
    }
    return frame;
}

Fs9721Decoder::Lcd Fs9721Decoder::lcdOf(const Frame& frame) {
    Lcd lcd;
    for (int d = 0; d < 4; ++d)
        lcd.digits[static_cast<std::size_t>(d)] = characterOf(digitSegments(frame, d));
    for (int s = 0; s < kSymbolCount; ++s) {
        const Place p = kPlaces[static_cast<std::size_t>(s)];
        if ((frame[static_cast<std::size_t>(p.byte)] >> p.bit & 1) != 0)
            lcd.symbols |= 1U << static_cast<unsigned>(s);
    }
    return lcd;
}

MainDisplay Fs9721Decoder::decode(const Frame& frame) {
    const Lcd lcd = lcdOf(frame);
    MainDisplay out;
    out.leadingDigitShown = false;
    out.barShown = false;
    out.digits[0] = QString();
    for (std::size_t d = 0; d < lcd.digits.size(); ++d)
        out.digits[d + 1] = captionOf(lcd.digits[d]);
    for (const MirrorSymbol& m : kMirror)
        out.lit.set(m.control, lcd.has(m.symbol));
    out.lit.set(LCDBATT, lcd.has(Symbol::LowBattery));
    out.lit.set(LcdMax, lcd.has(Symbol::Max));
    out.lit.set(LcdMin, lcd.has(Symbol::Min));

    if (lcd.has(Symbol::Ac))
        out.acDcText = QStringLiteral("AC");
    else if (lcd.has(Symbol::Dc))
        out.acDcText = QStringLiteral("DC");
    // A relative reading is one the range may not change under, as with the other family.
    const bool autoRange = lcd.has(Symbol::Auto) && !lcd.has(Symbol::Rel);
    out.rangeText = autoRange ? QStringLiteral("AUTO") : QStringLiteral("MANU");
    // The point's place is the range: the peaks start afresh when it moves.
    out.rangeCode = lcd.has(Symbol::Point1)   ? 1
                    : lcd.has(Symbol::Point2) ? 2
                    : lcd.has(Symbol::Point3) ? 3
                                              : 0;
    out.unitText = unitTextOf(lcd);
    out.readingText = readingTextOf(lcd);

    const bool wide = lcd.has(Symbol::Hertz) || lcd.has(Symbol::Percent);
    out.axisMaximum = wide ? kWideScale : kFullScale;
    out.axisMinimum = -out.axisMaximum;
    // The dial's face is marked in hundreds of counts to 8000 either way, as for the four-digit
    // meters of the other family: a full 4000-count display reaches half way.
    out.dialScale = 80;
    out.dialOffset = 0;
    out.wideScale = false;
    setValues(lcd, out);
    return out;
}
