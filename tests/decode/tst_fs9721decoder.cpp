#include "Fs9721Decoder.h"

#include <QTest>

#include <algorithm>
#include <cstring>

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

// The chip's own segment lettering, digit n in bytes 2n and 2n+1 (counted from 1): the first
// byte's bits 2..0 are A B C, the second's bits 3..0 are D E F G, where C is the top, B upper
// left, G upper right, F the middle, A lower left, E lower right and D the bottom.
Frame withDigit(Frame f, int digit, const char* litSegments) {
    static constexpr const char* kLetters = "ABCDEFG";
    static constexpr int kBits[] = {2, 1, 0, 3, 2, 1, 0};
    for (const char* s = litSegments; *s != '\0'; ++s) {
        const int letter = static_cast<int>(std::strchr(kLetters, *s) - kLetters);
        const auto byte = static_cast<std::size_t>(1 + 2 * digit + (letter < 3 ? 0 : 1));
        f[byte] |= static_cast<std::uint8_t>(1 << kBits[letter]);
    }
    return f;
}

Frame parse(const char* hex) {
    const QByteArray bytes = QByteArray::fromHex(hex);
    Frame f{};
    std::copy_n(bytes.begin(), std::min<qsizetype>(bytes.size(), 14), f.begin());
    return f;
}

} // namespace

class TestFs9721Decoder : public QObject {
    Q_OBJECT
private slots:
    void everyDigitReadsInEveryPlace_data();
    void everyDigitReadsInEveryPlace();
    void everySymbolBitLightsItsSymbol_data();
    void everySymbolBitLightsItsSymbol();
    void wholeFramesGiveTheReading_data();
    void wholeFramesGiveTheReading();
};

void TestFs9721Decoder::everyDigitReadsInEveryPlace_data() {
    QTest::addColumn<QString>("segments");
    QTest::addColumn<char>("character");
    QTest::addColumn<QString>("caption");
    QTest::newRow("0") << "ABCDEG" << '0' << "0";
    QTest::newRow("1") << "EG" << '1' << "1";
    QTest::newRow("2") << "ACDFG" << '2' << "2";
    QTest::newRow("3") << "CDEFG" << '3' << "3";
    QTest::newRow("4") << "BEFG" << '4' << "4";
    QTest::newRow("5") << "BCDEF" << '5' << "5";
    QTest::newRow("6") << "ABCDEF" << '6' << "6";
    QTest::newRow("7") << "CEG" << '7' << "7";
    QTest::newRow("8") << "ABCDEFG" << '8' << "8";
    QTest::newRow("9") << "BCDEFG" << '9' << "9";
    QTest::newRow("L") << "ABD" << 'L' << "@";
    QTest::newRow("blank") << "" << ' ' << "";
    QTest::newRow("no character") << "F" << '?' << "";
}

void TestFs9721Decoder::everyDigitReadsInEveryPlace() {
    QFETCH(QString, segments);
    QFETCH(char, character);
    QFETCH(QString, caption);
    for (int place = 0; place < 4; ++place) {
        const Frame f = withDigit(blankFrame(), place, segments.toLatin1().constData());
        const Fs9721Decoder::Lcd lcd = Fs9721Decoder::lcdOf(f);
        QCOMPARE(lcd.digits[static_cast<std::size_t>(place)], character);
        QCOMPARE(lcd.symbols, 0U); // no segment spills into a symbol
        QCOMPARE(Fs9721Decoder::decode(f).digits[static_cast<std::size_t>(place) + 1], caption);
        if (character != '?')
            QCOMPARE(Fs9721Decoder::segmentsOf(character),
                     (f[1 + 2 * place] & 7) << 4 | (f[2 + 2 * place] & 15));
    }
}

// The datasheet's table, one row per bit, with what the mirror lights and what the unit says.
void TestFs9721Decoder::everySymbolBitLightsItsSymbol_data() {
    QTest::addColumn<int>("symbol");
    QTest::addColumn<int>("byte"); // counted from 1, as the position nibble
    QTest::addColumn<int>("bit");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("unit");
    const auto row = [](const char* name, Symbol s, int byte, int bit, const char* control,
                        const QString& unit = {}) {
        QTest::newRow(name) << static_cast<int>(s) << byte << bit << QString(control) << unit;
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

void TestFs9721Decoder::everySymbolBitLightsItsSymbol() {
    QFETCH(int, symbol);
    QFETCH(int, byte);
    QFETCH(int, bit);
    QFETCH(QString, control);
    QFETCH(QString, unit);
    Frame f = blankFrame();
    f[static_cast<std::size_t>(byte - 1)] |= static_cast<std::uint8_t>(1 << bit);
    const Fs9721Decoder::Lcd lcd = Fs9721Decoder::lcdOf(f);
    QCOMPARE(lcd.symbols, 1U << static_cast<unsigned>(symbol));
    QCOMPARE(lcd.digits, (std::array<char, 4>{' ', ' ', ' ', ' '}));

    const MainDisplay d = Fs9721Decoder::decode(f);
    QStringList lit;
    for (int i = 0; i < kAnnunciatorCount; ++i) {
        if (d.lit.test(static_cast<Annunciator>(i)))
            lit.append(QString(controlName(static_cast<Annunciator>(i))));
    }
    QCOMPARE(lit, control.isEmpty() ? QStringList() : QStringList{control});
    QCOMPARE(d.unitText, unit);
}

void TestFs9721Decoder::wholeFramesGiveTheReading_data() {
    QTest::addColumn<QByteArray>("hex");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("acDc");
    QTest::addColumn<QString>("range");
    QTest::addColumn<float>("value");
    // A meter's own frame: 22.2 °C, auto range.
    QTest::newRow("temperature") << QByteArray("13273d455b657b8d9ba0b0c0d0e4") << "022.2"
                                 << QStringLiteral("\u00B0C") << ""
                                 << "AUTO" << 222.0f;
    QTest::newRow("negative volts") << QByteArray("1728354d5b617f8297a0b0c0d4e0") << "-1.234"
                                    << "V"
                                    << "DC"
                                    << "AUTO" << -1234.0f;
    QTest::newRow("overload megohm") << QByteArray("132030475d6e788090a0b2c4d0e0") << "0.L"
                                     << "M*"
                                     << ""
                                     << "AUTO" << 4001.0f;
    QTest::newRow("AC millivolts held, relative")
        << QByteArray("182030475d697f8297a0b8c3d4e0") << "0.34"
        << "mV"
        << "AC"
        << "MANU" << 34.0f;
}

void TestFs9721Decoder::wholeFramesGiveTheReading() {
    QFETCH(QByteArray, hex);
    QFETCH(QString, text);
    QFETCH(QString, unit);
    QFETCH(QString, acDc);
    QFETCH(QString, range);
    QFETCH(float, value);
    const MainDisplay d = Fs9721Decoder::decode(parse(hex.constData()));
    QCOMPARE(d.readingText, text);
    QCOMPARE(d.unitText, unit);
    QCOMPARE(d.acDcText, acDc);
    QCOMPARE(d.rangeText, range);
    QCOMPARE(d.readingValue, value);
    QVERIFY(!d.leadingDigitShown);
    QVERIFY(!d.barShown);
}

QTEST_APPLESS_MAIN(TestFs9721Decoder)
#include "tst_fs9721decoder.moc"
