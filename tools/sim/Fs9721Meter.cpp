#include "Fs9721Meter.h"

#include <array>
#include <string_view>

namespace {

// A symbol's place in the frame: byte 0 to 13 and the bit of its low nibble, as the chip's
// datasheet lays them out.
struct Bit {
    int byte;
    int bit;
};
constexpr Bit kAc{0, 3}, kDc{0, 2}, kAuto{0, 1}, kRs232{0, 0}, kMinus{1, 3};
constexpr Bit kMicro{9, 3}, kNano{9, 2}, kKilo{9, 1}, kDiode{9, 0};
constexpr Bit kMilli{10, 3}, kPercent{10, 2}, kMega{10, 1}, kBeep{10, 0};
constexpr Bit kFarad{11, 3}, kOhm{11, 2}, kRel{11, 1}, kHold{11, 0};
constexpr Bit kAmpere{12, 3}, kVolt{12, 2}, kHertz{12, 1}, kLowBattery{12, 0};
constexpr Bit kCelsius{13, 2}, kMax{13, 1}, kMin{13, 0};

// What one function and range shows: its symbols, the point (1 to 3 before the second to fourth
// digit, 0 none), the reading it starts from in counts, and what the unit reads as.
struct Scene {
    std::string_view unit;
    std::array<Bit, 5> symbols; // unused entries repeat RS232, which every frame has
    int point;
    int count;
    bool overload = false;
};

constexpr Bit kNone = kRs232;

constexpr std::array kScenes{
    Scene{"V", {kDc, kAuto, kVolt, kNone, kNone}, 1, 1234},
    Scene{"V", {kDc, kAuto, kVolt, kNone, kNone}, 2, 1234},
    Scene{"V", {kDc, kAuto, kVolt, kNone, kNone}, 3, 2301},
    Scene{"V", {kDc, kVolt, kNone, kNone, kNone}, 0, 230},
    Scene{"V", {kDc, kAuto, kVolt, kMinus, kNone}, 2, 512},
    Scene{"V", {kAc, kAuto, kVolt, kNone, kNone}, 1, 1500},
    Scene{"V", {kAc, kAuto, kVolt, kNone, kNone}, 3, 2301},
    Scene{"V", {kAc, kVolt, kNone, kNone, kNone}, 0, 230},
    Scene{"mV", {kDc, kAuto, kMilli, kVolt, kNone}, 3, 1234},
    Scene{"mV", {kAc, kAuto, kMilli, kVolt, kNone}, 3, 456},
    Scene{"*", {kAuto, kOhm, kNone, kNone, kNone}, 3, 1000},
    Scene{"k*", {kAuto, kKilo, kOhm, kNone, kNone}, 1, 2200},
    Scene{"k*", {kAuto, kKilo, kOhm, kNone, kNone}, 2, 2200},
    Scene{"k*", {kAuto, kKilo, kOhm, kNone, kNone}, 3, 2200},
    Scene{"M*", {kAuto, kMega, kOhm, kNone, kNone}, 1, 1000},
    Scene{"M*", {kAuto, kMega, kOhm, kNone, kNone}, 2, 1000},
    Scene{"M*", {kAuto, kMega, kOhm, kNone, kNone}, 2, 0, true},
    Scene{"*", {kOhm, kBeep, kNone, kNone, kNone}, 3, 12},
    Scene{")V", {kDiode, kVolt, kNone, kNone, kNone}, 1, 512},
    Scene{"nF", {kAuto, kNano, kFarad, kNone, kNone}, 2, 1000},
    Scene{"nF", {kAuto, kNano, kFarad, kNone, kNone}, 3, 1000},
    Scene{"uF", {kAuto, kMicro, kFarad, kNone, kNone}, 1, 1000},
    Scene{"uF", {kAuto, kMicro, kFarad, kNone, kNone}, 2, 1000},
    Scene{"uF", {kAuto, kMicro, kFarad, kNone, kNone}, 3, 470},
    Scene{"uA", {kDc, kAuto, kMicro, kAmpere, kNone}, 3, 1500},
    Scene{"uA", {kDc, kAuto, kMicro, kAmpere, kNone}, 0, 1500},
    Scene{"mA", {kDc, kAuto, kMilli, kAmpere, kNone}, 2, 1500},
    Scene{"mA", {kDc, kAuto, kMilli, kAmpere, kNone}, 3, 1500},
    Scene{"mA", {kAc, kAuto, kMilli, kAmpere, kNone}, 3, 1500},
    Scene{"A", {kDc, kAmpere, kNone, kNone, kNone}, 2, 250},
    Scene{"A", {kAc, kAmpere, kNone, kNone, kNone}, 2, 250},
    Scene{"Hz", {kAuto, kHertz, kNone, kNone, kNone}, 2, 5000},
    Scene{"kHz", {kAuto, kKilo, kHertz, kNone, kNone}, 1, 1000},
    Scene{"MHz", {kAuto, kMega, kHertz, kNone, kNone}, 1, 1000},
    Scene{"%", {kPercent, kNone, kNone, kNone, kNone}, 3, 500},
    Scene{"\xC2\xB0"
          "C",
          {kCelsius, kNone, kNone, kNone, kNone},
          0,
          23},
    Scene{"V", {kDc, kAuto, kVolt, kHold, kNone}, 2, 1111},
    Scene{"V", {kDc, kVolt, kRel, kMinus, kNone}, 2, 12},
    Scene{"V", {kDc, kVolt, kMax, kNone, kNone}, 2, 1300},
    Scene{"V", {kDc, kVolt, kMin, kNone, kNone}, 2, 1100},
    Scene{"V", {kDc, kAuto, kVolt, kLowBattery, kNone}, 1, 3210},
};

// The segments of a character as the digit's two nibbles carry them.
struct Pattern {
    char character;
    std::uint8_t first;  // A B C: lower left, upper left, top
    std::uint8_t second; // D E F G: bottom, lower right, middle, upper right
};
constexpr std::array<Pattern, 12> kPatterns{{{'0', 0x7, 0xD},
                                             {'1', 0x0, 0x5},
                                             {'2', 0x5, 0xB},
                                             {'3', 0x1, 0xF},
                                             {'4', 0x2, 0x7},
                                             {'5', 0x3, 0xE},
                                             {'6', 0x7, 0xE},
                                             {'7', 0x1, 0x5},
                                             {'8', 0x7, 0xF},
                                             {'9', 0x3, 0xF},
                                             {'L', 0x6, 0x8},
                                             {' ', 0x0, 0x0}}};

const Pattern& patternOf(char c) {
    for (const Pattern& p : kPatterns) {
        if (p.character == c)
            return p;
    }
    return kPatterns.back();
}

const Scene& sceneOf(std::size_t n) {
    return kScenes[n / Fs9721Meter::kFramesPerScene % kScenes.size()];
}

// The four digits of a count, leading zeros blank up to the digit before the point.
std::array<char, 4> digitsOf(const Scene& scene, std::size_t n) {
    if (scene.overload)
        return {' ', '0', 'L', ' '};
    const int limit = scene.unit.find("Hz") != std::string_view::npos ? 9999 : 3999;
    const int count =
        (scene.count + 7 * static_cast<int>(n % Fs9721Meter::kFramesPerScene)) % (limit + 1);
    std::array<char, 4> digits{};
    for (int d = 3, rest = count; d >= 0; --d, rest /= 10)
        digits[static_cast<std::size_t>(d)] = static_cast<char>('0' + rest % 10);
    const int lastBlank = scene.point > 0 ? scene.point - 2 : 2;
    for (int d = 0; d <= lastBlank && digits[static_cast<std::size_t>(d)] == '0'; ++d)
        digits[static_cast<std::size_t>(d)] = ' ';
    return digits;
}

bool has(const Scene& scene, const Bit& bit) {
    for (const Bit& b : scene.symbols) {
        if (b.byte == bit.byte && b.bit == bit.bit)
            return true;
    }
    return false;
}

} // namespace

Fs9721Meter::Fs9721Meter(bool faults, std::uint64_t seed) : m_faults(faults), m_rng(seed) {}

std::size_t Fs9721Meter::framesPerPass() {
    return kScenes.size() * kFramesPerScene;
}

LinePeer::Frame Fs9721Meter::frameAt(std::size_t n) {
    const Scene& scene = sceneOf(n);
    Frame frame(14);
    for (std::size_t i = 0; i < frame.size(); ++i)
        frame[i] = static_cast<std::uint8_t>((i + 1) << 4);
    frame[0] |= 1U << kRs232.bit;
    for (const Bit& b : scene.symbols)
        frame[static_cast<std::size_t>(b.byte)] |= static_cast<std::uint8_t>(1U << b.bit);
    const std::array<char, 4> digits = digitsOf(scene, n);
    for (std::size_t d = 0; d < digits.size(); ++d) {
        const Pattern& p = patternOf(digits[d]);
        frame[1 + 2 * d] |= p.first;
        frame[2 + 2 * d] |= p.second;
    }
    if (scene.point > 0)
        frame[1 + 2 * static_cast<std::size_t>(scene.point)] |= 0x08;
    return frame;
}

Fs9721Meter::Meant Fs9721Meter::meantAt(std::size_t n) {
    const Scene& scene = sceneOf(n);
    Meant meant;
    meant.unit = scene.unit;
    meant.acDc = has(scene, kAc) ? "AC" : has(scene, kDc) ? "DC" : "";
    if (has(scene, kMinus))
        meant.text += '-';
    const std::array<char, 4> digits = digitsOf(scene, n);
    for (std::size_t d = 0; d < digits.size(); ++d) {
        if (d > 0 && static_cast<int>(d) == scene.point)
            meant.text += '.';
        if (digits[d] != ' ')
            meant.text += digits[d];
    }
    return meant;
}

// A fault loses one byte of about one frame in eight.
LinePeer::Frame Fs9721Meter::talk() {
    Frame frame = frameAt(m_next++);
    if (m_faults && m_rng() % 8 == 0)
        frame.erase(frame.begin() + static_cast<std::ptrdiff_t>(m_rng() % frame.size()));
    return frame;
}
