// Every function and range of the main display gives one quantity with one base unit, and the
// value in it is the display's digits with the point moved, never a rounded product.
#include "MainFrameDecoder.h"
#include "Quantity.h"

#include <QTest>

namespace {

constexpr int fn(int function, int variant = 0) {
    return function << 3 | variant;
}
constexpr int range(int code, int mode = 0) {
    return code << 3 | mode;
}
constexpr int kFrequency = 0b100;
constexpr int kDuty = 0b101;
constexpr int kMinus = 0x10;
constexpr int kOverload = 0x08;
constexpr int kFive = 0x04;

QString frame(int b1, int b2, int b4, const char* digits) {
    QString hex = QStringLiteral("89");
    for (const int b : {b1, b2, 0, b4})
        hex += QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper();
    for (const char* d = digits; *d != '\0'; ++d)
        hex += QLatin1String("0") + QLatin1Char(*d);
    return hex + QStringLiteral("0A");
}

} // namespace

class QuantityTest : public QObject {
    Q_OBJECT

private slots:
    void theDisplayGivesItsQuantityAndBaseValue_data() {
        QTest::addColumn<QString>("frameHex");
        QTest::addColumn<QString>("quantity");
        QTest::addColumn<QString>("value"); // empty: none
        QTest::addColumn<int>("precision");
        QTest::newRow("DC volts") << frame(fn(14), range(1), 0, "01234") << "dc_voltage"
                                  << "12.34" << 2;
        QTest::newRow("DC volts, five digits")
            << frame(fn(14), range(1), kFive, "12345") << "dc_voltage"
            << "12.345" << 3;
        QTest::newRow("negative") << frame(fn(14), range(1), kMinus, "01234") << "dc_voltage"
                                  << "-12.34" << 2;
        QTest::newRow("millivolts DC") << frame(fn(13), range(0), 0, "01234") << "dc_voltage"
                                       << "0.01234" << 5;
        QTest::newRow("millivolts AC") << frame(fn(13, 1), range(0), 0, "01234") << "ac_voltage"
                                       << "0.01234" << 5;
        QTest::newRow("AC volts, mV range") << frame(fn(15), range(0), 0, "01234") << "ac_voltage"
                                            << "0.1234" << 4;
        QTest::newRow("AC volts, no point") << frame(fn(15), range(4), 0, "01234") << "ac_voltage"
                                            << "1234" << 0;
        QTest::newRow("amperes AC") << frame(fn(5, 1), range(0), 0, "01234") << "ac_current"
                                    << "1.234" << 3;
        QTest::newRow("milliamperes DC") << frame(fn(6), range(1), 0, "00050") << "dc_current"
                                         << "0.0050" << 4;
        QTest::newRow("ohms") << frame(fn(12), range(0), 0, "01234") << "resistance"
                              << "123.4" << 1;
        QTest::newRow("kilohms") << frame(fn(12), range(1), 0, "01234") << "resistance"
                                 << "1234" << 0;
        QTest::newRow("megohms") << frame(fn(12), range(5), 0, "01234") << "resistance"
                                 << "12340000" << 0;
        QTest::newRow("nanosiemens") << frame(fn(12), range(6), 0, "01234") << "conductance"
                                     << "0.00000001234" << 11;
        QTest::newRow("nanofarads") << frame(fn(12, 1), range(0), 0, "01234") << "capacitance"
                                    << "0.000000001234" << 12;
        QTest::newRow("microfarads") << frame(fn(12, 1), range(4), 0, "01234") << "capacitance"
                                     << "0.00001234" << 8;
        QTest::newRow("kilohertz") << frame(0, range(3, kFrequency), kFive, "01234") << "frequency"
                                   << "1234" << 0;
        QTest::newRow("hertz") << frame(0, range(1, kFrequency), kFive, "01234") << "frequency"
                               << "12.34" << 2;
        QTest::newRow("duty") << frame(0, range(0, kDuty), 0, "01234") << "duty_cycle"
                              << "12.34" << 2;
        QTest::newRow("diode") << frame(fn(11), range(0), 0, "01234") << "diode"
                               << "1.234" << 3;
        QTest::newRow("overload keeps its quantity")
            << frame(fn(12), range(2), kOverload, "01234") << "resistance" << QString() << 0;
        QTest::newRow("negative overload") << frame(fn(14), range(1), kOverload | kMinus, "01234")
                                           << "dc_voltage" << QString() << 0;
        QTest::newRow("a function without a unit")
            << frame(fn(3), range(0), 0, "01234") << "" << QString() << 0;
    }
    void theDisplayGivesItsQuantityAndBaseValue() {
        QFETCH(QString, frameHex);
        const Reading r = MainFrameDecoder::readingOf(MainFrameDecoder::decode(frameHex, 0));
        const BaseValue base = Quantities::baseValueOf(r.ReadingText, r.UnitText, r.AcDcText);
        QTEST(Quantities::idOf(base.quantity), "quantity");
        QTEST(base.value.value_or(QString()), "value");
        QTEST(base.precision, "precision");
        QCOMPARE(Quantities::of(r.UnitText, r.AcDcText), base.quantity);
    }

    // A walk through every function, variant and range: whatever the range, a quantity is
    // always given in the same base unit, and a value always comes with a quantity.
    void everyRangeOfAFunctionKeepsOneQuantity() {
        for (int function = 0; function < 16; ++function) {
            for (int variant = 0; variant < 2; ++variant) {
                QSet<QString> units;
                for (int code = 0; code < 8; ++code) {
                    const Reading r = MainFrameDecoder::readingOf(MainFrameDecoder::decode(
                        frame(fn(function, variant), range(code), kFive, "12345"), 0));
                    const BaseValue base =
                        Quantities::baseValueOf(r.ReadingText, r.UnitText, r.AcDcText);
                    QCOMPARE(base.value.has_value(), base.quantity != Quantity::None);
                    if (base.quantity == Quantity::None || base.quantity == Quantity::Conductance)
                        continue;
                    units.insert(Quantities::idOf(base.quantity));
                }
                QVERIFY2(units.size() <= 1, qPrintable(QStringList(units.values()).join(u' ')));
            }
        }
    }
};

QTEST_GUILESS_MAIN(QuantityTest)
#include "tst_quantity.moc"
