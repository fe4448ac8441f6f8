#include "MainFrameDecoder.h"

#include "HexNibble.h"

#include <algorithm>
#include <array>
#include <optional>
#include <span>

namespace {

using enum Annunciator;

// Hex characters 0..10 carry the status bits (bytes 0 to 4 and the unused high nibble of byte 5);
// the digits are the low nibbles of bytes 5 to 9.
constexpr qsizetype kStatusChars = 11;
constexpr qsizetype kFirstDigitChar = 11;
constexpr int kDigitCount = 5;
constexpr int kBlankDigit = 15;

constexpr int kFrequencyMode = 0b100;
constexpr int kDutyMode = 0b101;

[[nodiscard]] constexpr bool bit(int byte, int n) {
    return ((byte >> n) & 1) != 0;
}

// The fields of a frame. A short frame still gives every field: a missing status character
// repeats the one before it (zero before the first) and a missing digit reads as zero.
struct Frame {
    int function = 0;
    bool variant = false;
    bool manualRange = false;
    int rangeCode = 0;
    int modeBits = 0;
    bool percentBit = false; // byte 2 bit 2, the high bit of the mode
    bool rec = false;
    int statistic = 0;
    bool rate = false; // byte 3 bit 2
    bool battery = false;
    bool minus = false;
    bool overload = false;
    bool fiveDigit = false;
    bool hold = false;
    std::array<int, kDigitCount> digits{};
};

[[nodiscard]] Frame readFrame(QStringView hex) {
    std::array<int, kStatusChars> nibbles{};
    int previous = 0;
    for (qsizetype i = 0; i < kStatusChars; ++i) {
        if (i < hex.size())
            previous = hexNibble(hex[i]);
        nibbles[i] = previous;
    }
    const auto byteAt = [&](int k) { return (nibbles[2 * k] << 4) | nibbles[2 * k + 1]; };
    const int b1 = byteAt(1);
    const int b2 = byteAt(2);
    const int b3 = byteAt(3);
    const int b4 = byteAt(4);

    Frame f;
    f.function = (b1 >> 3) & 0x0F;
    f.variant = bit(b1, 0);
    f.manualRange = bit(b2, 6);
    f.rangeCode = (b2 >> 3) & 0x07;
    f.modeBits = b2 & 0x07;
    f.percentBit = bit(b2, 2);
    f.rec = bit(b3, 6);
    f.statistic = (b3 >> 3) & 0x03;
    f.rate = bit(b3, 2);
    f.battery = bit(b4, 5);
    f.minus = bit(b4, 4);
    f.overload = bit(b4, 3);
    f.fiveDigit = bit(b4, 2);
    f.hold = bit(b4, 0);
    for (int d = 0; d < kDigitCount; ++d) {
        const qsizetype at = kFirstDigitChar + 2 * d;
        f.digits[d] = at < hex.size() ? hexNibble(hex[at]) : 0;
    }
    return f;
}

// P0..P3 between the digits, and P4 after the last one: never drawn, it stands for "no visible
// point" until the five-digit shift moves it to P3.
using Points = std::array<bool, 5>;

// What one range of a function lights: a point (-1 none) and a prefix.
struct RangeRow {
    constexpr RangeRow(int point = -1, std::optional<Annunciator> prefix = std::nullopt)
        : point(point), prefix(prefix) {}
    int point;
    std::optional<Annunciator> prefix;
};

constexpr std::array<RangeRow, 2> kAmpereRows{{{1}, {2}}};
constexpr std::array<RangeRow, 2> kMilliRows{{{2}, {3}}};
constexpr std::array<RangeRow, 6> kCapacitanceRows{
    {{1, LCDn}, {2, LCDn}, {3, LCDn}, {1, LCDu}, {2, LCDu}, {3, LCDu}}};
constexpr std::array<RangeRow, 7> kResistanceRows{
    {{3}, {1, LCDk}, {2, LCDk}, {3, LCDk}, {1, LCDM1}, {2, LCDM1}, {2, LCDn}}};
constexpr int kSiemensRange = 6;
constexpr std::array<RangeRow, 4> kDcVoltRows{{{1}, {2}, {3}, {4}}};
constexpr std::array<RangeRow, 5> kAcVoltRows{{{3, Lcdm}, {1}, {2}, {3}, {4}}};
constexpr std::array<RangeRow, 6> kFrequencyRows{
    {{}, {2}, {0, LCDk}, {1, LCDk}, {2, LCDk}, {0, LCDM1}}};

void applyRange(std::span<const RangeRow> rows, int rangeCode, Points& points,
                AnnunciatorSet& lit) {
    if (rangeCode >= static_cast<int>(rows.size()))
        return;
    const RangeRow& row = rows[rangeCode];
    if (row.point >= 0)
        points[row.point] = true;
    if (row.prefix)
        lit.set(*row.prefix);
}

void lightAcOrDc(const Frame& f, AnnunciatorSet& lit) {
    lit.set(f.variant ? LcdAC : LcdDc1);
}

// The measuring function's symbols and the point and prefix its range selects.
void decodeFunction(const Frame& f, AnnunciatorSet& lit, Points& points) {
    switch (f.function) {
    case 5:
        lit.set(LCDA);
        lightAcOrDc(f, lit);
        applyRange(kAmpereRows, f.rangeCode, points, lit);
        return;
    case 6:
        lit.set(Lcdm);
        lit.set(LCDA);
        lightAcOrDc(f, lit);
        applyRange(kMilliRows, f.rangeCode, points, lit);
        return;
    case 11:
        lit.set(LCDDI);
        lit.set(LcdV);
        points[1] = true;
        return;
    case 12:
        if (f.variant) {
            lit.set(LCDF);
            applyRange(kCapacitanceRows, f.rangeCode, points, lit);
            return;
        }
        lit.set(LCDohm, f.rangeCode != kSiemensRange);
        lit.set(LcdS, f.rangeCode == kSiemensRange);
        lit.set(LCDFm, f.rate);
        applyRange(kResistanceRows, f.rangeCode, points, lit);
        return;
    case 13:
        lit.set(Lcdm);
        lit.set(LcdV);
        lightAcOrDc(f, lit);
        applyRange(kMilliRows, f.rangeCode, points, lit);
        return;
    case 14:
        lit.set(LcdV);
        lit.set(LcdDc1);
        applyRange(kDcVoltRows, f.rangeCode, points, lit);
        return;
    case 15:
        lit.set(LcdV);
        lit.set(LcdAC);
        applyRange(kAcVoltRows, f.rangeCode, points, lit);
        return;
    default:
        return; // functions whose meaning is not known light nothing
    }
}

// Mode, symbols, points, axis and dial scale: the one place where the frame's mode is decided.
void decodeMode(const Frame& f, MainDisplay& out, Points& points) {
    if (f.modeBits == kFrequencyMode || f.modeBits == kDutyMode) {
        out.wideScale = true;
        out.dialScale = 100;
        out.dialOffset = 100;
        if (f.modeBits == kFrequencyMode) {
            out.lit.set(LCDHz);
            applyRange(kFrequencyRows, f.rangeCode, points, out.lit);
            out.axisMinimum = -100000;
            out.axisMaximum = 100000;
            return;
        }
        out.lit.set(LCDBF);
        points[2] = true;
        out.leadingDigitShown = false;
        out.axisMinimum = -10000;
        out.axisMaximum = 10000;
        return;
    }
    decodeFunction(f, out.lit, points);
    if (f.fiveDigit)
        std::copy(points.begin() + 1, points.end(), points.begin());
    out.axisMaximum = f.fiveDigit ? 80000 : 8000;
    out.axisMinimum = -out.axisMaximum;
    out.lit.set(LcdAuto, !f.manualRange);
    out.wideScale = false;
    out.dialScale = 80;
    out.dialOffset = 0;
}

void lightStatistic(int statistic, AnnunciatorSet& lit) {
    if (statistic == 1)
        lit.set(LcdMax);
    else if (statistic == 2)
        lit.set(LcdMin);
    else if (statistic == 3)
        lit.set(LcdAvg);
}

void lightRecording(const Frame& f, AnnunciatorSet& lit) {
    if (!f.rec)
        return;
    lit.set(LcdREC);
    if (f.percentBit && f.fiveDigit) {
        lit.set(LCD1S);
        lightStatistic(f.statistic, lit);
        return;
    }
    if (f.rate) {
        lit.set(Lcd1ms);
        lit.set((f.statistic & 1) != 0 ? LcdMin : LcdMax);
        return;
    }
    lit.set(Lcd100ms);
    lightStatistic(f.statistic, lit);
}

// Fixed texts, shared rather than rebuilt for every frame.
struct Texts {
    QString ac = QStringLiteral("AC");
    QString dc = QStringLiteral("DC");
    QString autoRange = QStringLiteral("AUTO");
    QString manualRange = QStringLiteral("MANU");
    QString percent = QStringLiteral("%");
    QString siemens = QStringLiteral("nS");
    QString diode = QStringLiteral(")V");
    std::array<QString, 10> digits = {QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2"),
                                      QStringLiteral("3"), QStringLiteral("4"), QStringLiteral("5"),
                                      QStringLiteral("6"), QStringLiteral("7"), QStringLiteral("8"),
                                      QStringLiteral("9")};
    QString overloadLead = QStringLiteral("(");
    QString overloadL = QStringLiteral("@");
};

const Texts& texts() {
    static const Texts shared;
    return shared;
}

void setRangeTexts(const Frame& f, int relPressState, MainDisplay& out) {
    if (out.lit.test(LcdAC))
        out.acDcText = texts().ac;
    else if (out.lit.test(LcdDc1))
        out.acDcText = texts().dc;
    const bool autoRange = out.lit.test(LcdAuto) || f.modeBits == kFrequencyMode;
    out.rangeText = autoRange ? texts().autoRange : texts().manualRange;
    if (relPressState != 1 && relPressState != 2)
        return;
    out.rangeText = texts().manualRange;
    out.lit.set(LCDRel);
    out.lit.set(LCDBF, out.lit.test(LCDBF) || relPressState == 2);
}

// The unit in the display font's characters, in the order the symbols stand on the meter; the
// percent, siemens and diode rules then replace the whole text, in that order.
void setUnitText(const Frame& f, MainDisplay& out) {
    struct Part {
        Annunciator symbol;
        const char* text;
    };
    static constexpr std::array<Part, 11> kParts{{{LCDFm, "&  "},
                                                  {LCDk, "k"},
                                                  {LCDM1, "M"},
                                                  {Lcdm, "m"},
                                                  {LCDu, "u"},
                                                  {LCDn, "n"},
                                                  {LCDA, "A"},
                                                  {LcdV, "V"},
                                                  {LCDohm, "*"},
                                                  {LCDHz, "Hz"},
                                                  {LCDF, "F"}}};
    char text[32];
    qsizetype size = 0;
    for (const Part& part : kParts) {
        if (!out.lit.test(part.symbol))
            continue;
        for (const char* c = part.text; *c != '\0'; ++c)
            text[size++] = *c;
    }
    out.unitText = QString::fromLatin1(text, size);
    if (f.percentBit && !f.fiveDigit) {
        out.unitText = texts().percent;
        out.lit.set(LCDBF);
    }
    if (out.lit.test(LcdS))
        out.unitText = texts().siemens;
    if (out.lit.test(LCDDI))
        out.unitText = texts().diode;
}

[[nodiscard]] int shownDigit(int nibble) {
    return nibble <= 9 ? nibble : 0;
}

void setDigitCaptions(const Frame& f, MainDisplay& out) {
    if (f.overload) {
        const Texts& t = texts();
        out.digits = {t.overloadLead, QString(), t.digits[0], t.overloadL, QString()};
        return;
    }
    for (int d = 0; d < kDigitCount; ++d)
        out.digits[d] = texts().digits[shownDigit(f.digits[d])];
}

// The display as text: the sign, then the digits with their lit points; in overload the points
// around the "0L" only.
void setReadingText(const Frame& f, const Points& points, MainDisplay& out) {
    char16_t text[16];
    qsizetype size = 0;
    if (f.minus)
        text[size++] = u'-';
    if (f.overload) {
        const char16_t letters[] = {u'0', u'L'};
        for (int p = 1; p <= 3; ++p) {
            if (points[p])
                text[size++] = u'.';
            if (p < 3)
                text[size++] = letters[p - 1];
        }
        out.readingText = QString(reinterpret_cast<const QChar*>(text), size);
        return;
    }
    for (int d = 0; d < kDigitCount; ++d) {
        if (d > 0 && points[d - 1])
            text[size++] = u'.';
        text[size++] = static_cast<char16_t>(u'0' + shownDigit(f.digits[d]));
    }
    out.readingText = QString(reinterpret_cast<const QChar*>(text), size);
}

// 0.5 * l rounded to the nearest integer, halves to even.
[[nodiscard]] constexpr int halfRoundedToEven(int l) {
    if (l % 2 == 0)
        return l / 2;
    const int below = (l - 1) / 2;
    return below % 2 == 0 ? below : below + 1;
}

[[nodiscard]] int countOf(const std::array<int, kDigitCount>& digits, int first, int last) {
    int count = 0;
    for (int d = first; d <= last; ++d)
        count = count * 10 + shownDigit(digits[d]);
    return count;
}

// The overload value scales with this frame's own DialScale, which decodeMode has already set.
void setValues(const Frame& f, MainDisplay& out) {
    const int sign = f.minus ? -1 : 1;
    const int fullScale = out.dialScale * (f.fiveDigit ? 1000 : 100);
    if (f.overload) {
        out.readingValue = static_cast<float>(sign * (fullScale + 1));
        out.chartValue = sign * fullScale;
        out.dialPosition = f.minus ? 0 : out.dialScale * 10;
        return;
    }
    const int first = f.fiveDigit ? 0 : 1;
    const int count = sign * countOf(f.digits, first, 4);
    out.readingValue = static_cast<float>(count);
    out.chartValue = count;
    out.dialPosition = halfRoundedToEven(sign * countOf(f.digits, first, first + 2)) + 400;
}

} // namespace

MainDisplay MainFrameDecoder::decode(QStringView frameHex, int relPressState) {
    const Frame f = readFrame(frameHex);
    MainDisplay out;
    out.rangeCode = f.rangeCode;
    out.fiveDigit = f.fiveDigit;
    out.leadingDigitShown = f.digits[0] != kBlankDigit;
    out.lit.set(LCDBATT, f.battery);
    out.lit.set(LCDHold, f.hold);
    out.lit.set(LcdFH, f.minus);
    setDigitCaptions(f, out);

    Points points{};
    decodeMode(f, out, points);
    lightRecording(f, out.lit);
    for (int p = 0; p < 4; ++p)
        out.lit.set(pointControl(p), points[p]);

    setRangeTexts(f, relPressState, out);
    setUnitText(f, out);
    out.barShown = !out.lit.test(LCDDI) && !out.lit.test(LcdS);
    setReadingText(f, points, out);
    setValues(f, out);
    return out;
}

Reading MainFrameDecoder::readingOf(const MainDisplay& d) {
    return {d.readingValue, d.readingText, d.unitText, d.acDcText, d.rangeText, d.rangeCode};
}
