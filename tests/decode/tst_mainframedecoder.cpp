#include "MainFrameDecoder.h"

#include <QTest>

#include <cmath>

namespace {

// Byte 1: function and variant.
constexpr int fn(int function, int variant = 0) {
    return function << 3 | variant;
}
// Byte 2: range, mode bits, manual range.
constexpr int kManual = 0x40;
constexpr int kFrequency = 0b100;
constexpr int kDuty = 0b101;
constexpr int kPercentBit = 0b110; // function mode with byte 2 bit 2 set
constexpr int range(int code, int mode = 0) {
    return code << 3 | mode;
}
// Byte 3: recording.
constexpr int kRec = 0x40;
constexpr int kRate = 0x04;
constexpr int stat(int bits) {
    return bits << 3;
}
// Byte 4: status.
constexpr int kBatt = 0x20;
constexpr int kMinus = 0x10;
constexpr int kOverload = 0x08;
constexpr int kFive = 0x04;
constexpr int kHold = 0x01;

// The hex text of a complete main-display frame: status bytes 1..4, then one byte per digit.
QString frame(int b1, int b2, int b3, int b4, const char* digits = "01234") {
    QString hex = QStringLiteral("89");
    for (const int b : {b1, b2, b3, b4})
        hex += QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper();
    for (const char* d = digits; *d != '\0'; ++d)
        hex += QLatin1String("0") + QLatin1Char(*d);
    return hex + QStringLiteral("0A");
}

QStringList litNames(const MainDisplay& d) {
    QStringList names;
    for (int i = 0; i < kAnnunciatorCount; ++i) {
        const auto a = static_cast<Annunciator>(i);
        if (d.lit.test(a))
            names.append(QString(controlName(a)));
    }
    names.sort();
    return names;
}

QStringList sorted(QStringList names) {
    names.sort();
    return names;
}

const QStringList kRecordingSymbols = {"LcdREC", "LCD1S",  "Lcd1ms", "Lcd100ms",
                                       "LcdMin", "LcdMax", "LcdAvg"};

} // namespace

class TestMainFrameDecoder : public QObject {
    Q_OBJECT

private slots:
    void workedExampleDecodesAsTheMeterShowsIt() {
        const MainDisplay d = MainFrameDecoder::decode(u"89700800000F010203040A", 0);
        QCOMPARE(d.readingText, QStringLiteral("012.34"));
        QCOMPARE(d.readingValue, 1234.0f);
        QCOMPARE(d.unitText, QStringLiteral("V"));
        QCOMPARE(d.acDcText, QStringLiteral("DC"));
        QCOMPARE(d.rangeText, QStringLiteral("AUTO"));
        QCOMPARE(d.rangeCode, 1);
        QCOMPARE(d.dialPosition, 462);
        QCOMPARE(d.chartValue, 1234);
        QCOMPARE(d.axisMinimum, -8000);
        QCOMPARE(d.axisMaximum, 8000);
        QCOMPARE(d.dialScale, 80);
        QCOMPARE(d.dialOffset, 0);
        QCOMPARE(d.wideScale, false);
        QCOMPARE(d.digits, (std::array<QString, 5>{"0", "1", "2", "3", "4"}));
        QCOMPARE(d.leadingDigitShown, false);
        QCOMPARE(d.barShown, true);
        QCOMPARE(litNames(d), sorted({"LcdDc1", "LcdV", "LcdAuto", "LcdP2"}));
    }

    void readingFollowsDigitsSignAndOverload_data() {
        QTest::addColumn<QString>("hex");
        QTest::addColumn<QString>("text");
        QTest::addColumn<float>("value");
        QTest::addColumn<int>("dial");
        QTest::addColumn<int>("chart");

        QTest::newRow("lower-case hex reads like upper-case") << "89700800000f010203040a"
                                                              << "012.34" << 1234.0f << 462 << 1234;
        QTest::newRow("negative four-digit reading")
            << frame(fn(14), range(2), 0, kMinus, "F0123") << "-0012.3" << -123.0f << 394 << -123;
        QTest::newRow("five-digit reading counts the leading digit")
            << frame(fn(14), range(0), 0, kFive, "12345") << "1.2345" << 12345.0f << 462 << 12345;
        QTest::newRow("blank leading digit reads as 0 in five-digit mode")
            << frame(fn(14), range(3), 0, kFive, "F2345") << "0234.5" << 2345.0f << 412 << 2345;
        QTest::newRow("digit nibbles 10 to 14 count as 0")
            << frame(fn(0), range(0), 0, 0, "0ABCE") << "00000" << 0.0f << 400 << 0;
        QTest::newRow("minus zero is a plain zero")
            << frame(fn(0), range(0), 0, kMinus, "00000") << "-00000" << 0.0f << 400 << 0;
        QTest::newRow("positive overload, four digits")
            << frame(fn(14), range(1), 0, kOverload) << "0.L" << 8001.0f << 800 << 8000;
        QTest::newRow("negative overload, four digits")
            << frame(fn(14), range(1), 0, kOverload | kMinus) << "-0.L" << -8001.0f << 0 << -8000;
        QTest::newRow("overload without a point")
            << frame(fn(0), range(0), 0, kOverload) << "0L" << 8001.0f << 800 << 8000;
        QTest::newRow("positive overload, five digits")
            << frame(fn(14), range(2), 0, kOverload | kFive) << "0.L" << 80001.0f << 800 << 80000;
        QTest::newRow("negative overload, five digits")
            << frame(fn(14), range(2), 0, kOverload | kFive | kMinus) << "-0.L" << -80001.0f << 0
            << -80000;
        QTest::newRow("overload keeps a point left of the 0")
            << frame(fn(14), range(0), 0, kOverload) << ".0L" << 8001.0f << 800 << 8000;
        QTest::newRow("overload keeps a point after the L")
            << frame(fn(14), range(2), 0, kOverload) << "0L." << 8001.0f << 800 << 8000;
        QTest::newRow("frequency overload uses the wide scale, four digits")
            << frame(0, range(1, kFrequency), 0, kOverload) << "0.L" << 10001.0f << 1000 << 10000;
        QTest::newRow("frequency overload uses the wide scale, five digits")
            << frame(0, range(0, kFrequency), 0, kOverload | kFive | kMinus) << "-0L" << -100001.0f
            << 0 << -100000;
    }
    void readingFollowsDigitsSignAndOverload() {
        QFETCH(QString, hex);
        const MainDisplay d = MainFrameDecoder::decode(hex, 0);
        QTEST(d.readingText, "text");
        QFETCH(float, value);
        QCOMPARE(d.readingValue, value);
        QCOMPARE(std::signbit(d.readingValue), std::signbit(value)); // no "-0" for a zero count
        QTEST(d.dialPosition, "dial");
        QTEST(d.chartValue, "chart");
    }

    // The dial's limit band scales its steps by the digit mode the frame reports.
    void digitModeIsReported_data() {
        QTest::addColumn<QString>("hex");
        QTest::addColumn<bool>("fiveDigit");
        QTest::newRow("four-digit worked example") << "89700800000F010203040A" << false;
        QTest::newRow("five-digit volts") << frame(fn(14), range(0), 0, kFive, "12345") << true;
        QTest::newRow("five-digit overload")
            << frame(fn(14), range(2), 0, kOverload | kFive) << true;
        QTest::newRow("four-digit frequency") << frame(0, range(1, kFrequency), 0, 0) << false;
    }
    void digitModeIsReported() {
        QFETCH(QString, hex);
        QTEST(MainFrameDecoder::decode(hex, 0).fiveDigit, "fiveDigit");
    }

    void overloadShowsZeroL_data() {
        QTest::addColumn<int>("status");
        QTest::newRow("positive") << kOverload;
        QTest::newRow("negative five-digit") << (kOverload | kMinus | kFive);
    }
    void overloadShowsZeroL() {
        QFETCH(int, status);
        const MainDisplay d = MainFrameDecoder::decode(frame(fn(14), range(1), 0, status), 0);
        QCOMPARE(d.digits, (std::array<QString, 5>{"(", "", "0", "@", ""}));
        QCOMPARE(d.leadingDigitShown, true);
        QCOMPARE(d.lit.test(Annunciator::LcdFH), (status & kMinus) != 0);
    }

    void functionTableLightsUnitPointAndPrefix_data() {
        QTest::addColumn<QString>("hex");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QString>("acdc");
        QTest::addColumn<QStringList>("lit");

        const auto row = [](const char* name, int b1, int code, int b3, int b4, const char* unit,
                            const char* acdc, QStringList lit) {
            QTest::newRow(name) << frame(b1, kManual | range(code), b3, b4) << unit << acdc
                                << sorted(lit);
        };
        row("5 AC range 0", fn(5, 1), 0, 0, 0, "A", "AC", {"LCDA", "LcdAC", "LcdP1"});
        row("5 DC range 1", fn(5, 0), 1, 0, 0, "A", "DC", {"LCDA", "LcdDc1", "LcdP2"});
        row("5 range 2 has no point", fn(5, 0), 2, 0, 0, "A", "DC", {"LCDA", "LcdDc1"});
        row("6 AC range 0", fn(6, 1), 0, 0, 0, "mA", "AC", {"Lcdm", "LCDA", "LcdAC", "LcdP2"});
        row("6 DC range 1", fn(6, 0), 1, 0, 0, "mA", "DC", {"Lcdm", "LCDA", "LcdDc1", "LcdP3"});
        row("11 diode any range", fn(11), 5, 0, 0, ")V", "", {"LCDDI", "LcdV", "LcdP1"});
        row("12 capacitance range 0", fn(12, 1), 0, 0, 0, "nF", "", {"LCDF", "LCDn", "LcdP1"});
        row("12 capacitance range 1", fn(12, 1), 1, 0, 0, "nF", "", {"LCDF", "LCDn", "LcdP2"});
        row("12 capacitance range 2", fn(12, 1), 2, 0, 0, "nF", "", {"LCDF", "LCDn", "LcdP3"});
        row("12 capacitance range 3", fn(12, 1), 3, 0, 0, "uF", "", {"LCDF", "LCDu", "LcdP1"});
        row("12 capacitance range 4", fn(12, 1), 4, 0, 0, "uF", "", {"LCDF", "LCDu", "LcdP2"});
        row("12 capacitance range 5", fn(12, 1), 5, 0, 0, "uF", "", {"LCDF", "LCDu", "LcdP3"});
        row("12 capacitance range 6", fn(12, 1), 6, 0, 0, "F", "", {"LCDF"});
        row("12 resistance range 0", fn(12), 0, 0, 0, "*", "", {"LCDohm", "LcdP3"});
        row("12 resistance range 1", fn(12), 1, 0, 0, "k*", "", {"LCDohm", "LCDk", "LcdP1"});
        row("12 resistance range 2", fn(12), 2, 0, 0, "k*", "", {"LCDohm", "LCDk", "LcdP2"});
        row("12 resistance range 3", fn(12), 3, 0, 0, "k*", "", {"LCDohm", "LCDk", "LcdP3"});
        row("12 resistance range 4", fn(12), 4, 0, 0, "M*", "", {"LCDohm", "LCDM1", "LcdP1"});
        row("12 resistance range 5", fn(12), 5, 0, 0, "M*", "", {"LCDohm", "LCDM1", "LcdP2"});
        row("12 resistance range 6 is siemens", fn(12), 6, 0, 0, "nS", "",
            {"LcdS", "LCDn", "LcdP2"});
        row("12 resistance range 7", fn(12), 7, 0, 0, "*", "", {"LCDohm"});
        row("12 resistance with byte 3 bit 2", fn(12), 2, kRate, 0, "&  k*", "",
            {"LCDFm", "LCDohm", "LCDk", "LcdP2"});
        row("12 siemens with byte 3 bit 2", fn(12), 6, kRate, 0, "nS", "",
            {"LCDFm", "LcdS", "LCDn", "LcdP2"});
        row("12 capacitance ignores byte 3 bit 2", fn(12, 1), 0, kRate, 0, "nF", "",
            {"LCDF", "LCDn", "LcdP1"});
        row("13 AC range 0", fn(13, 1), 0, 0, 0, "mV", "AC", {"Lcdm", "LcdV", "LcdAC", "LcdP2"});
        row("13 DC range 1", fn(13, 0), 1, 0, 0, "mV", "DC", {"Lcdm", "LcdV", "LcdDc1", "LcdP3"});
        row("14 range 0", fn(14), 0, 0, 0, "V", "DC", {"LcdV", "LcdDc1", "LcdP1"});
        row("14 range 1", fn(14), 1, 0, 0, "V", "DC", {"LcdV", "LcdDc1", "LcdP2"});
        row("14 range 2", fn(14), 2, 0, 0, "V", "DC", {"LcdV", "LcdDc1", "LcdP3"});
        row("14 range 3 has no visible point", fn(14), 3, 0, 0, "V", "DC", {"LcdV", "LcdDc1"});
        row("14 variant bit is ignored", fn(14, 1), 4, 0, 0, "V", "DC", {"LcdV", "LcdDc1"});
        row("15 range 0 is millivolts", fn(15), 0, 0, 0, "mV", "AC",
            {"LcdV", "LcdAC", "Lcdm", "LcdP3"});
        row("15 range 1", fn(15), 1, 0, 0, "V", "AC", {"LcdV", "LcdAC", "LcdP1"});
        row("15 range 2", fn(15), 2, 0, 0, "V", "AC", {"LcdV", "LcdAC", "LcdP2"});
        row("15 range 3", fn(15), 3, 0, 0, "V", "AC", {"LcdV", "LcdAC", "LcdP3"});
        row("15 range 4", fn(15), 4, 0, 0, "V", "AC", {"LcdV", "LcdAC"});
        row("15 range 5", fn(15), 5, 0, 0, "V", "AC", {"LcdV", "LcdAC"});
        for (const int unknown : {0, 1, 2, 3, 4, 7, 8, 9, 10}) {
            const QByteArray name = "unknown function " + QByteArray::number(unknown);
            QTest::newRow(name.constData())
                << frame(fn(unknown, 1), kManual | range(1), kRate, 0) << ""
                << "" << QStringList();
        }
        row("five digits: 14 range 0 moves P1 to P0", fn(14), 0, 0, kFive, "V", "DC",
            {"LcdV", "LcdDc1", "LcdP0"});
        row("five digits: 14 range 3 moves P4 to P3", fn(14), 3, 0, kFive, "V", "DC",
            {"LcdV", "LcdDc1", "LcdP3"});
        row("five digits: resistance range 0 moves P3 to P2", fn(12), 0, 0, kFive, "*", "",
            {"LCDohm", "LcdP2"});
    }
    void functionTableLightsUnitPointAndPrefix() {
        QFETCH(QString, hex);
        const MainDisplay d = MainFrameDecoder::decode(hex, 0);
        QTEST(d.unitText, "unit");
        QTEST(d.acDcText, "acdc");
        QTEST(litNames(d), "lit");
        QCOMPARE(d.rangeText, QStringLiteral("MANU"));
        QCOMPARE(d.axisMaximum, hex.mid(8, 2) == u"04" ? 80000 : 8000);
        QCOMPARE(d.dialScale, 80);
        QCOMPARE(d.wideScale, false);
    }

    void autorangeBitLightsAuto() {
        const MainDisplay manual = MainFrameDecoder::decode(frame(fn(0), kManual, 0, 0), 0);
        const MainDisplay automatic = MainFrameDecoder::decode(frame(fn(0), 0, 0, 0), 0);
        QCOMPARE(manual.rangeText, QStringLiteral("MANU"));
        QVERIFY(!manual.lit.test(Annunciator::LcdAuto));
        QCOMPARE(automatic.rangeText, QStringLiteral("AUTO"));
        QVERIFY(automatic.lit.test(Annunciator::LcdAuto));
    }

    void frequencyModeSetsHzPointsAndWideScale_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QStringList>("lit");

        QTest::newRow("range 0") << 0 << kFive << "Hz" << QStringList{"LCDHz"};
        QTest::newRow("range 1") << 1 << kFive << "Hz" << sorted({"LCDHz", "LcdP2"});
        QTest::newRow("range 2") << 2 << kFive << "kHz" << sorted({"LCDHz", "LCDk", "LcdP0"});
        QTest::newRow("range 3") << 3 << kFive << "kHz" << sorted({"LCDHz", "LCDk", "LcdP1"});
        QTest::newRow("range 4") << 4 << kFive << "kHz" << sorted({"LCDHz", "LCDk", "LcdP2"});
        QTest::newRow("range 5") << 5 << kFive << "MHz" << sorted({"LCDHz", "LCDM1", "LcdP0"});
        QTest::newRow("range 6") << 6 << kFive << "Hz" << QStringList{"LCDHz"};
        QTest::newRow("range 7") << 7 << kFive << "Hz" << QStringList{"LCDHz"};
        QTest::newRow("four digits report percent but keep Hz")
            << 3 << 0 << "%" << sorted({"LCDHz", "LCDk", "LcdP1", "LCDBF"});
    }
    void frequencyModeSetsHzPointsAndWideScale() {
        QFETCH(int, code);
        QFETCH(int, status);
        // Function bits and the manual-range bit do not count in frequency mode.
        const QString hex = frame(fn(14), kManual | range(code, kFrequency), 0, status);
        const MainDisplay d = MainFrameDecoder::decode(hex, 0);
        QTEST(d.unitText, "unit");
        QTEST(litNames(d), "lit");
        QCOMPARE(d.rangeText, QStringLiteral("AUTO"));
        QCOMPARE(d.acDcText, QString());
        QCOMPARE(d.axisMinimum, -100000);
        QCOMPARE(d.axisMaximum, 100000);
        QCOMPARE(d.dialScale, 100);
        QCOMPARE(d.dialOffset, 100);
        QCOMPARE(d.wideScale, true);
        QCOMPARE(d.barShown, true);
    }

    void dutyModeShowsPercentWithoutLeadingDigit_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("unit");
        QTest::newRow("five digits") << kFive << "";
        QTest::newRow("four digits") << 0 << "%";
    }
    void dutyModeShowsPercentWithoutLeadingDigit() {
        QFETCH(int, status);
        const MainDisplay d =
            MainFrameDecoder::decode(frame(fn(11), range(3, kDuty), 0, status, "12345"), 0);
        QTEST(d.unitText, "unit");
        QCOMPARE(litNames(d), sorted({"LCDBF", "LcdP2"}));
        QCOMPARE(d.leadingDigitShown, false);
        QCOMPARE(d.rangeText, QStringLiteral("MANU"));
        QCOMPARE(d.axisMinimum, -10000);
        QCOMPARE(d.axisMaximum, 10000);
        QCOMPARE(d.dialScale, 100);
        QCOMPARE(d.wideScale, true);
        QCOMPARE(d.barShown, true);
    }

    void unitReplacingRulesApplyInOrder_data() {
        QTest::addColumn<QString>("hex");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<bool>("percentLit");
        QTest::newRow("percent bit in four-digit mode replaces V")
            << frame(fn(14), range(1, kPercentBit), 0, 0) << "%" << true;
        QTest::newRow("percent bit in five-digit mode is not percent")
            << frame(fn(14), range(1, kPercentBit), 0, kFive) << "V" << false;
        QTest::newRow("siemens wins over percent")
            << frame(fn(12), range(6, kPercentBit), 0, 0) << "nS" << true;
        QTest::newRow("diode wins over percent")
            << frame(fn(11), range(0, kPercentBit), 0, 0) << ")V" << true;
    }
    void unitReplacingRulesApplyInOrder() {
        QFETCH(QString, hex);
        const MainDisplay d = MainFrameDecoder::decode(hex, 0);
        QTEST(d.unitText, "unit");
        QTEST(d.lit.test(Annunciator::LCDBF), "percentLit");
    }

    void recordingAnnunciatorsFollowTheirBranch_data() {
        QTest::addColumn<int>("b2");
        QTest::addColumn<int>("b3");
        QTest::addColumn<int>("b4");
        QTest::addColumn<QStringList>("lit");

        const int oneSecond = range(0, kPercentBit);
        QTest::newRow("nothing without REC")
            << oneSecond << (stat(3) | kRate) << kFive << QStringList();
        QTest::newRow("1 S without statistic")
            << oneSecond << kRec << kFive << sorted({"LcdREC", "LCD1S"});
        QTest::newRow("1 S MAX") << oneSecond << (kRec | stat(1)) << kFive
                                 << sorted({"LcdREC", "LCD1S", "LcdMax"});
        QTest::newRow("1 S MIN") << oneSecond << (kRec | stat(2)) << kFive
                                 << sorted({"LcdREC", "LCD1S", "LcdMin"});
        QTest::newRow("1 S AVG wins over the 1 mS rate")
            << oneSecond << (kRec | stat(3) | kRate) << kFive
            << sorted({"LcdREC", "LCD1S", "LcdAvg"});
        QTest::newRow("1 S also in frequency mode")
            << range(0, kFrequency) << (kRec | stat(1)) << kFive
            << sorted({"LcdREC", "LCD1S", "LcdMax"});
        QTest::newRow("1 mS MIN when bit 3 is set")
            << oneSecond << (kRec | kRate | stat(1)) << 0 << sorted({"LcdREC", "Lcd1ms", "LcdMin"});
        QTest::newRow("1 mS MAX when bit 3 is clear")
            << range(0) << (kRec | kRate | stat(2)) << kFive
            << sorted({"LcdREC", "Lcd1ms", "LcdMax"});
        QTest::newRow("100 mS without statistic")
            << range(0) << kRec << kFive << sorted({"LcdREC", "Lcd100ms"});
        QTest::newRow("100 mS MAX")
            << range(0) << (kRec | stat(1)) << 0 << sorted({"LcdREC", "Lcd100ms", "LcdMax"});
        QTest::newRow("100 mS MIN")
            << range(0) << (kRec | stat(2)) << 0 << sorted({"LcdREC", "Lcd100ms", "LcdMin"});
        QTest::newRow("100 mS AVG")
            << oneSecond << (kRec | stat(3)) << 0 << sorted({"LcdREC", "Lcd100ms", "LcdAvg"});
    }
    void recordingAnnunciatorsFollowTheirBranch() {
        QFETCH(int, b2);
        QFETCH(int, b3);
        QFETCH(int, b4);
        const MainDisplay d = MainFrameDecoder::decode(frame(fn(14), b2, b3, b4), 0);
        QStringList recording = litNames(d);
        recording.removeIf([](const QString& n) { return !kRecordingSymbols.contains(n); });
        QTEST(recording, "lit");
    }

    void relStateForcesManualRange_data() {
        QTest::addColumn<int>("b2");
        QTest::addColumn<int>("rel");
        QTest::addColumn<QString>("rangeText");
        QTest::addColumn<bool>("relLit");
        QTest::addColumn<bool>("percentLit");
        QTest::newRow("0 keeps autorange") << range(1) << 0 << "AUTO" << false << false;
        QTest::newRow("1 forces MANU") << range(1) << 1 << "MANU" << true << false;
        QTest::newRow("2 forces MANU and percent") << range(1) << 2 << "MANU" << true << true;
        QTest::newRow("1 in frequency mode")
            << range(1, kFrequency) << 1 << "MANU" << true << false;
        QTest::newRow("unknown state counts as 0") << range(1) << 3 << "AUTO" << false << false;
    }
    void relStateForcesManualRange() {
        QFETCH(int, b2);
        QFETCH(int, rel);
        const MainDisplay plain = MainFrameDecoder::decode(frame(fn(14), b2, 0, kFive), 0);
        const MainDisplay d = MainFrameDecoder::decode(frame(fn(14), b2, 0, kFive), rel);
        QTEST(d.rangeText, "rangeText");
        QTEST(d.lit.test(Annunciator::LCDRel), "relLit");
        QTEST(d.lit.test(Annunciator::LCDBF), "percentLit");
        QCOMPARE(d.unitText, plain.unitText);
        QCOMPARE(d.lit.test(Annunciator::LcdAuto), plain.lit.test(Annunciator::LcdAuto));
    }

    void dialPositionRoundsHalvesToEven_data() {
        QTest::addColumn<QString>("hex");
        QTest::addColumn<int>("dial");
        QTest::newRow("61.5 rounds up to 62") << frame(fn(0), 0, 0, 0, "01230") << 462;
        QTest::newRow("62.5 rounds down to 62") << frame(fn(0), 0, 0, 0, "01250") << 462;
        QTest::newRow("63.5 rounds up to 64") << frame(fn(0), 0, 0, 0, "01270") << 464;
        QTest::newRow("0.5 rounds down to 0") << frame(fn(0), 0, 0, 0, "00010") << 400;
        QTest::newRow("1.5 rounds up to 2") << frame(fn(0), 0, 0, 0, "00030") << 402;
        QTest::newRow("-61.5 rounds to -62") << frame(fn(0), 0, 0, kMinus, "01230") << 338;
        QTest::newRow("-62.5 rounds to -62") << frame(fn(0), 0, 0, kMinus, "01250") << 338;
        QTest::newRow("-0.5 rounds to 0") << frame(fn(0), 0, 0, kMinus, "00010") << 400;
        QTest::newRow("-1.5 rounds to -2") << frame(fn(0), 0, 0, kMinus, "00030") << 398;
        QTest::newRow("the last digit does not count") << frame(fn(0), 0, 0, 0, "01239") << 462;
        QTest::newRow("five digits use D0 Da Db") << frame(fn(0), 0, 0, kFive, "12399") << 462;
        QTest::newRow("four digits use Da Db Dc") << frame(fn(0), 0, 0, 0, "12399") << 520;
        QTest::newRow("full scale, four digits") << frame(fn(0), 0, 0, 0, "08000") << 800;
        QTest::newRow("wide scale keeps the same rule")
            << frame(0, range(0, kFrequency), 0, 0, "09990") << 900;
    }
    void dialPositionRoundsHalvesToEven() {
        QFETCH(QString, hex);
        QTEST(MainFrameDecoder::decode(hex, 0).dialPosition, "dial");
    }

    void barGraphHidesOnlyForDiodeAndSiemens_data() {
        QTest::addColumn<QString>("hex");
        QTest::addColumn<bool>("shown");
        QTest::newRow("volts") << frame(fn(14), 0, 0, 0) << true;
        QTest::newRow("diode") << frame(fn(11), 0, 0, 0) << false;
        QTest::newRow("siemens") << frame(fn(12), range(6), 0, 0) << false;
        QTest::newRow("capacitance range 6") << frame(fn(12, 1), range(6), 0, 0) << true;
        QTest::newRow("diode bits in frequency mode")
            << frame(fn(11), range(0, kFrequency), 0, 0) << true;
    }
    void barGraphHidesOnlyForDiodeAndSiemens() {
        QFETCH(QString, hex);
        QTEST(MainFrameDecoder::decode(hex, 0).barShown, "shown");
    }

    void statusBitsLightTheirSymbols() {
        const MainDisplay d =
            MainFrameDecoder::decode(frame(fn(0), kManual, 0, kBatt | kHold | kMinus), 0);
        QCOMPARE(litNames(d), sorted({"LCDBATT", "LCDHold", "LcdFH"}));
        QVERIFY(d.readingText.startsWith(u'-'));
    }

    void shortFramesDecodeFromWhatIsThere_data() {
        QTest::addColumn<QString>("hex");
        QTest::addColumn<QString>("text");
        QTest::addColumn<float>("value");
        QTest::addColumn<QStringList>("lit");
        QTest::addColumn<bool>("leadingShown");

        QTest::newRow("empty text reads as zeros")
            << ""
            << "00000" << 0.0f << QStringList{"LcdAuto"} << true;
        QTest::newRow("kind byte only repeats its 9 into every status bit")
            << "89"
            << "-0L" << -8001.0f << sorted({"LcdAuto", "LcdFH", "LCDHold"}) << true;
        QTest::newRow("line feed characters repeat into the status bytes")
            << "89700A"
            << "0.L" << 8001.0f << sorted({"LCDBATT", "LcdAuto", "LcdDc1", "LcdP2", "LcdV"})
            << true;
        QTest::newRow("missing status byte repeats the last character")
            << "8970080A"
            << "0.L" << 8001.0f << sorted({"LCDBATT", "LcdAuto", "LcdDc1", "LcdP2", "LcdV"})
            << true;
        QTest::newRow("line feed read as the leading digit, other digits 0")
            << "89700800100A"
            << "-000.00" << 0.0f << sorted({"LcdFH", "LcdAuto", "LcdDc1", "LcdP2", "LcdV"}) << true;
        QTest::newRow("missing digits read as 0")
            << "89700800000F0102"
            << "012.00" << 1200.0f << sorted({"LcdAuto", "LcdDc1", "LcdP2", "LcdV"}) << false;
    }
    void shortFramesDecodeFromWhatIsThere() {
        QFETCH(QString, hex);
        const MainDisplay d = MainFrameDecoder::decode(hex, 0);
        QTEST(d.readingText, "text");
        QTEST(d.readingValue, "value");
        QTEST(litNames(d), "lit");
        QTEST(d.leadingDigitShown, "leadingShown");
    }
};

QTEST_APPLESS_MAIN(TestMainFrameDecoder)
#include "tst_mainframedecoder.moc"
