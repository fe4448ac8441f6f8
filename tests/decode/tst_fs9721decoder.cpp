#include "Fs9721Decoder.h"

#include <QTest>

#include <algorithm>

using Frame = Fs9721Decoder::Frame;
using Symbol = Fs9721Decoder::Symbol;

namespace {

// An empty LCD: every byte carries only its position.
Frame blankFrame() {
    Frame f{};
    for (std::size_t i = 0; i < f.size(); ++i)
        f[i] = static_cast<std::uint8_t>((i + 1) << 4);
    return f;
}

// The datasheet's lettering of digit n (0 to 3), in frame bytes 2n+1 and 2n+2 (counted from 0):
// the first byte's bits 2..0 are A B C, the second's bits 3..0 D E F G, where C is the top, B the
// upper left, G the upper right, F the middle, A the lower left, E the lower right, D the bottom.
Frame withDigit(int digit, const QString& litSegments) {
    static constexpr int kBits[] = {2, 1, 0, 3, 2, 1, 0};
    Frame f = blankFrame();
    for (const QChar s : litSegments) {
        const int letter = s.unicode() - u'A';
        const std::size_t byte = 1 + 2 * std::size_t(digit) + (letter < 3 ? 0 : 1);
        f[byte] |= std::uint8_t(1 << kBits[letter]);
    }
    return f;
}

} // namespace

class TestFs9721Decoder : public QObject {
    Q_OBJECT
private slots:
    void everyDigitReadsInEveryPlace_data() {
        QTest::addColumn<QString>("segments");
        QTest::addColumn<QString>("caption"); // in the display font: "@" is the L
        QTest::addColumn<char>("character");
        const char* const rows[][3] = {
            {"ABCDEG", "0", "0"},  {"EG", "1", "1"},     {"ACDFG", "2", "2"},  {"CDEFG", "3", "3"},
            {"BEFG", "4", "4"},    {"BCDEF", "5", "5"},  {"ABCDEF", "6", "6"}, {"CEG", "7", "7"},
            {"ABCDEFG", "8", "8"}, {"BCDEFG", "9", "9"}, {"ABD", "@", "L"},    {"", "", " "},
            {"F", "", "?"}, // a pattern that is no character
        };
        for (const auto& r : rows)
            QTest::newRow(r[2]) << QString(r[0]) << QString(r[1]) << r[2][0];
    }

    void everyDigitReadsInEveryPlace() {
        QFETCH(QString, segments);
        QFETCH(QString, caption);
        QFETCH(char, character);
        for (std::size_t place = 0; place < 4; ++place) {
            const Frame f = withDigit(int(place), segments);
            const Fs9721Decoder::Lcd lcd = Fs9721Decoder::lcdOf(f);
            QCOMPARE(lcd.digits[place], character);
            QCOMPARE(lcd.symbols, 0U); // no segment spills into a symbol
            QCOMPARE(Fs9721Decoder::decode(f).digits[place + 1], caption);
        }
    }

    // The datasheet's table, one row per bit, with what the mirror lights and the unit says.
    void everySymbolBitLightsItsSymbol_data() {
        QTest::addColumn<int>("symbol");
        QTest::addColumn<int>("byte"); // counted from 1, as the position nibble
        QTest::addColumn<int>("bit");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("unit");
        const auto row = [](const char* name, Symbol s, int byte, int bit, const char* control,
                            const QString& unit = {}) {
            QTest::newRow(name) << int(s) << byte << bit << QString(control) << unit;
        };
        row("AC", Symbol::Ac, 1, 3, "LcdAC");
        row("DC", Symbol::Dc, 1, 2, "LcdDc1");
        row("AUTO", Symbol::Auto, 1, 1, "LcdAuto");
        row("RS232", Symbol::Rs232, 1, 0, "");
        row("minus", Symbol::Minus, 2, 3, "LcdFH");
        row("P1", Symbol::Point1, 4, 3, "LcdP1");
        row("P2", Symbol::Point2, 6, 3, "LcdP2");
        row("P3", Symbol::Point3, 8, 3, "LcdP3");
        row("micro", Symbol::Micro, 10, 3, "LCDu", "u");
        row("nano", Symbol::Nano, 10, 2, "LCDn", "n");
        row("kilo", Symbol::Kilo, 10, 1, "LCDk", "k");
        row("diode", Symbol::Diode, 10, 0, "LCDDI", ")V");
        row("milli", Symbol::Milli, 11, 3, "Lcdm", "m");
        row("percent", Symbol::Percent, 11, 2, "LCDBF", "%");
        row("mega", Symbol::Mega, 11, 1, "LCDM1", "M");
        row("beep", Symbol::Beep, 11, 0, "");
        row("farad", Symbol::Farad, 12, 3, "LCDF", "F");
        row("ohm", Symbol::Ohm, 12, 2, "LCDohm", "*");
        row("REL", Symbol::Rel, 12, 1, "LCDRel");
        row("HOLD", Symbol::Hold, 12, 0, "LCDHold");
        row("ampere", Symbol::Ampere, 13, 3, "LCDA", "A");
        row("volt", Symbol::Volt, 13, 2, "LcdV", "V");
        row("hertz", Symbol::Hertz, 13, 1, "LCDHz", "Hz");
        row("low battery", Symbol::LowBattery, 13, 0, "LCDBATT");
        row("hFE", Symbol::Hfe, 14, 3, "");
        row("celsius", Symbol::Celsius, 14, 2, "", QStringLiteral("\u00B0C"));
        row("MAX", Symbol::Max, 14, 1, "LcdMax");
        row("MIN", Symbol::Min, 14, 0, "LcdMin");
    }

    void everySymbolBitLightsItsSymbol() {
        QFETCH(int, symbol);
        QFETCH(int, byte);
        QFETCH(int, bit);
        QFETCH(QString, control);
        QFETCH(QString, unit);
        Frame f = blankFrame();
        f[std::size_t(byte - 1)] |= std::uint8_t(1 << bit);
        const Fs9721Decoder::Lcd lcd = Fs9721Decoder::lcdOf(f);
        QCOMPARE(lcd.symbols, 1U << unsigned(symbol));
        QCOMPARE(lcd.digits, (std::array<char, 4>{' ', ' ', ' ', ' '}));
        const MainDisplay d = Fs9721Decoder::decode(f);
        const auto at = std::ranges::find(kAnnunciatorNames, control.toStdString());
        QVERIFY(control.isEmpty() || at != kAnnunciatorNames.end());
        QCOMPARE(d.lit.bits(), control.isEmpty() ? 0U : 1U << (at - kAnnunciatorNames.begin()));
        QCOMPARE(d.unitText, unit);
    }

    // Frames as the cutter hands them over, into the Reading; a text that is no whole frame is
    // none.
    void wholeFramesGiveTheReading_data() {
        QTest::addColumn<QString>("hex");
        QTest::addColumn<QString>("reading"); // text|unit|AC/DC|range|value
        QTest::newRow("a meter's own: 22.2 degrees")
            << "13273d455b657b8d9ba0b0c0d0e4" << QStringLiteral("022.2|\u00B0C||AUTO|222");
        QTest::newRow("negative volts") << "1728354d5b617f8297a0b0c0d4e0"
                                        << "-1.234|V|DC|AUTO|-1234";
        QTest::newRow("overload megohm") << "132030475d6e788090a0b2c4d0e0"
                                         << "0.L|M*||AUTO|4001";
        QTest::newRow("AC mV, held and relative") << "182030475d697f8297a0b8c3d4e0"
                                                  << "0.34|mV|AC|MANU|34";
        QTest::newRow("a byte lost") << "1728354d5b617f8297a0b0c0d4"
                                     << "";
        QTest::newRow("positions out of turn") << "1728354d5b617f8297a0b0d4c0e0"
                                               << "";
    }

    void wholeFramesGiveTheReading() {
        QFETCH(QString, hex);
        QFETCH(QString, reading);
        const std::optional<Frame> frame = Fs9721Decoder::frameOf(hex);
        QCOMPARE(frame.has_value(), !reading.isEmpty());
        if (!frame)
            return;
        const MainDisplay d = Fs9721Decoder::decode(*frame);
        QCOMPARE(QStringList({d.readingText, d.unitText, d.acDcText, d.rangeText,
                              QString::number(d.readingValue)})
                     .join(u'|'),
                 reading);
        QVERIFY(!d.leadingDigitShown && !d.barShown);
    }
};

QTEST_APPLESS_MAIN(TestFs9721Decoder)
#include "tst_fs9721decoder.moc"
