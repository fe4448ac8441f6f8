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

// Bytes 1, 2 and 4 of a frame and its digits; the quantity, base value ("": none) and precision.
struct Case {
    const char* tag;
    int b1, b2, b4;
    const char* digits;
    const char* quantity;
    const char* value;
    int precision;
};
const Case kCases[] = {
    {"DC volts", fn(14), range(1), 0, "01234", "dc_voltage", "12.34", 2},
    {"DC volts, five digits", fn(14), range(1), kFive, "12345", "dc_voltage", "12.345", 3},
    {"negative", fn(14), range(1), kMinus, "01234", "dc_voltage", "-12.34", 2},
    {"millivolts DC", fn(13), range(0), 0, "01234", "dc_voltage", "0.01234", 5},
    {"AC volts, mV range", fn(15), range(0), 0, "01234", "ac_voltage", "0.1234", 4},
    {"amperes AC", fn(5, 1), range(0), 0, "01234", "ac_current", "1.234", 3},
    {"milliamperes DC", fn(6), range(1), 0, "00050", "dc_current", "0.0050", 4},
    {"ohms", fn(12), range(0), 0, "01234", "resistance", "123.4", 1},
    {"kilohms", fn(12), range(1), 0, "01234", "resistance", "1234", 0},
    {"megohms", fn(12), range(5), 0, "01234", "resistance", "12340000", 0},
    {"nanosiemens", fn(12), range(6), 0, "01234", "conductance", "0.00000001234", 11},
    {"nanofarads", fn(12, 1), range(0), 0, "01234", "capacitance", "0.000000001234", 12},
    {"microfarads", fn(12, 1), range(4), 0, "01234", "capacitance", "0.00001234", 8},
    {"kilohertz", 0, range(3, kFrequency), kFive, "01234", "frequency", "1234", 0},
    {"duty", 0, range(0, kDuty), 0, "01234", "duty_cycle", "12.34", 2},
    {"diode", fn(11), range(0), 0, "01234", "diode", "1.234", 3},
    {"overload keeps its quantity", fn(12), range(2), kOverload, "01234", "resistance", "", 0},
    {"a function without a unit", fn(3), range(0), 0, "01234", "", "", 0},
};

} // namespace

class QuantityTest : public QObject {
    Q_OBJECT

private slots:
    void theDisplayGivesItsQuantityAndBaseValue_data() {
        QTest::addColumn<QString>("frameHex");
        QTest::addColumn<QString>("quantity");
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("precision");
        for (const Case& c : kCases)
            QTest::newRow(c.tag) << frame(c.b1, c.b2, c.b4, c.digits) << c.quantity << c.value
                                 << c.precision;
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
