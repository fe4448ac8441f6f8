#include "AlarmLimits.h"
#include "LimitText.h"
#include "PeakTracker.h"

#include <QTest>

#include <optional>

class TestLimits : public QObject {
    Q_OBJECT
private slots:
    void limitTextsBecomeCounts_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("limit");
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("minus alone") << "-" << 0;
        QTest::newRow("plus alone") << "+" << 0;
        QTest::newRow("minus and 5") << "-5" << -5;
        QTest::newRow("minus, 5 and 0") << "-50" << -50;
        QTest::newRow("plus sign") << "+8000" << 8000;
        QTest::newRow("five-digit default") << "-80000" << -80000;
        QTest::newRow("leading zeros") << "007" << 7;
        QTest::newRow("largest 32-bit") << "2147483647" << 2147483647;
        QTest::newRow("smallest 32-bit") << "-2147483648" << int(-2147483647 - 1);
    }
    void limitTextsBecomeCounts() {
        QFETCH(QString, text);
        QFETCH(int, limit);
        const LimitText::Result result = LimitText::parse(text);
        QCOMPARE(result.value, std::optional<qint32>(limit));
    }

    void invalidTextsAreRefusedWithTheirMessage_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("sign after a digit") << "5-";
        QTest::newRow("two signs") << "--5";
        QTest::newRow("sign between digits") << "5+0";
        QTest::newRow("beyond 32 bits") << "2147483648";
        QTest::newRow("far beyond 32 bits") << "-99999999999999999999";
        QTest::newRow("pasted space") << " 5";
        QTest::newRow("pasted letter") << "1e3";
    }
    void invalidTextsAreRefusedWithTheirMessage() {
        QFETCH(QString, text);
        const LimitText::Result result = LimitText::parse(text);
        QVERIFY(!result.value);
        QCOMPARE(result.error, QStringLiteral("'%1' is not a valid integer value").arg(text));
    }

    // The limit edits take signs; the interval and points-per-page edits take digits only.
    void keyFiltersLetDigitsAndBackspaceThroughSignsOnlyToLimits_data() {
        QTest::addColumn<QChar>("key");
        QTest::addColumn<bool>("limit");
        QTest::addColumn<bool>("count");
        QTest::newRow("0") << QChar('0') << true << true;
        QTest::newRow("9") << QChar('9') << true << true;
        QTest::newRow("+") << QChar('+') << true << false;
        QTest::newRow("-") << QChar('-') << true << false;
        QTest::newRow("backspace") << QChar('\b') << true << true;
        QTest::newRow("letter") << QChar('a') << false << false;
        QTest::newRow("point") << QChar('.') << false << false;
        QTest::newRow("space") << QChar(' ') << false << false;
        QTest::newRow("Arabic-Indic digit") << QChar(0x0663) << false << false;
    }
    void keyFiltersLetDigitsAndBackspaceThroughSignsOnlyToLimits() {
        QFETCH(QChar, key);
        QTEST(LimitText::acceptsKey(key), "limit");
        QTEST(LimitText::acceptsCountKey(key), "count");
    }

    void pointsPerPageAreWholeNumbersFromZero_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("points"); // -1: refused
        QTest::addColumn<QString>("error");
        QTest::newRow("designed") << "100" << 100 << "";
        QTest::newRow("zero: all on one page") << "0" << 0 << "";
        QTest::newRow("empty after the last digit is deleted")
            << "" << -1 << "'' is not a valid integer value";
        QTest::newRow("beyond 32 bits")
            << "99999999999" << -1 << "'99999999999' is not a valid integer value";
        QTest::newRow("negative, pasted")
            << "-5" << -1 << "'-5' is not a valid number of points per page";
    }
    void pointsPerPageAreWholeNumbersFromZero() {
        QFETCH(QString, text);
        QFETCH(int, points);
        const LimitText::Result parsed = LimitText::parsePointsPerPage(text);
        QCOMPARE(parsed.value, points < 0 ? std::nullopt : std::optional<qint32>(points));
        QTEST(parsed.error, "error");
    }

    void alarmComparesStrictly_data() {
        QTest::addColumn<bool>("maxArmed");
        QTest::addColumn<float>("maxLimit");
        QTest::addColumn<bool>("minArmed");
        QTest::addColumn<float>("minLimit");
        QTest::addColumn<float>("value");
        QTest::addColumn<bool>("alarm");
        QTest::newRow("MAX 8000, count 8000")
            << true << 8000.0f << false << 0.0f << 8000.0f << false;
        QTest::newRow("MAX 8000, overload 8001")
            << true << 8000.0f << false << 0.0f << 8001.0f << true;
        QTest::newRow("MAX 5000, count 5000")
            << true << 5000.0f << false << 0.0f << 5000.0f << false;
        QTest::newRow("MAX 5000, count 5001")
            << true << 5000.0f << false << 0.0f << 5001.0f << true;
        QTest::newRow("MAX 1000, 1.001 is count 1001")
            << true << 1000.0f << false << 0.0f << 1001.0f << true;
        QTest::newRow("MAX exceeded but not armed")
            << false << 1000.0f << false << 0.0f << 5001.0f << false;
        QTest::newRow("MIN -5000, count -5000")
            << false << 0.0f << true << -5000.0f << -5000.0f << false;
        QTest::newRow("MIN -5000, count -5001")
            << false << 0.0f << true << -5000.0f << -5001.0f << true;
        QTest::newRow("MIN -80000, five-digit overload")
            << false << 0.0f << true << -80000.0f << -80001.0f << true;
        QTest::newRow("start-up limits armed, four-digit overload")
            << true << 8002.0f << true << -8002.0f << 8001.0f << false;
    }
    void alarmComparesStrictly() {
        QFETCH(bool, maxArmed);
        QFETCH(float, maxLimit);
        QFETCH(bool, minArmed);
        QFETCH(float, minLimit);
        QFETCH(float, value);
        QFETCH(bool, alarm);
        const AlarmLimits limits{maxArmed, maxLimit, minArmed, minLimit};
        QCOMPARE(limits.exceededBy(value), alarm);
    }

    void firstFrameCountsAsAChange() {
        PeakTracker tracker;
        QVERIFY(tracker.track(1234.0f, "012.34", "V", 1));
        QCOMPARE(tracker.peaks().PeakMinText, QStringLiteral("012.34"));
        QCOMPARE(tracker.peaks().PeakMaxText, QString());
        QVERIFY(!tracker.track(1234.0f, "012.34", "V", 1));
        QCOMPARE(tracker.peaks().PeakMaxText, QStringLiteral("012.34"));
    }

    // After a change of unit or range the next reading takes both rows, whatever its size, and
    // later readings move them; MAX shows its old text until that next reading.
    void peaksRestartInBothDigitModes_data() {
        QTest::addColumn<QList<float>>("values");
        QTest::addColumn<QString>("minText");
        QTest::addColumn<QString>("maxText");
        QTest::newRow("four-digit") << QList<float>{1200.0f, 1300.0f, 1100.0f} << "1100"
                                    << "1300";
        QTest::newRow("five-digit above 8001")
            << QList<float>{52000.0f, 53000.0f, 51000.0f} << "51000"
            << "53000";
        QTest::newRow("five-digit below -8001")
            << QList<float>{-52000.0f, -51000.0f, -53000.0f} << "-53000"
            << "-51000";
        QTest::newRow("frequency beyond the five-digit full scale")
            << QList<float>{99000.0f, 99999.0f, 98000.0f} << "98000"
            << "99999";
    }
    void peaksRestartInBothDigitModes() {
        QFETCH(QList<float>, values);
        QFETCH(QString, minText);
        QFETCH(QString, maxText);
        PeakTracker tracker;
        (void)tracker.track(7.0f, "7", "mV", 0);
        (void)tracker.track(9.0f, "9", "mV", 0);
        QVERIFY(tracker.track(0.5f, "reset", "V", 2));
        QCOMPARE(tracker.peaks().PeakMaxText, QStringLiteral("9"));
        QCOMPARE(tracker.peaks().PeakMinText, QStringLiteral("reset"));
        for (const float value : values)
            QVERIFY(!tracker.track(value, QString::number(value, 'f', 0), "V", 2));
        QCOMPARE(tracker.peaks().PeakMinText, minText);
        QCOMPARE(tracker.peaks().PeakMaxText, maxText);
    }

    void rangeChangeAloneRestarts() {
        PeakTracker tracker;
        (void)tracker.track(4000.0f, "4.000", "V", 0);
        QVERIFY(tracker.track(4000.0f, "40.00", "V", 1));
        QCOMPARE(tracker.prevRangeCode(), 1);
        QCOMPARE(tracker.prevUnitText(), QStringLiteral("V"));
    }

    void equalValuesTakeTheNewerText() {
        PeakTracker tracker;
        (void)tracker.track(0.0f, "x", "V", 0);
        (void)tracker.track(1000.0f, "1.000", "V", 0);
        (void)tracker.track(1000.0f, "10.00", "V", 0);
        QCOMPARE(tracker.peaks().PeakMaxText, QStringLiteral("10.00"));
        QCOMPARE(tracker.peaks().PeakMinText, QStringLiteral("10.00"));
    }

    void restartKeepsTheMaximumsText() {
        Peaks peaks{100.0f, -100.0f, "max", "min"};
        PeakTracker::restart(peaks, "now");
        QCOMPARE(peaks.PeakMaxText, QStringLiteral("max"));
        QCOMPARE(peaks.PeakMinText, QStringLiteral("now"));
        updatePeaks(peaks, -1e9f, "low");
        QCOMPARE(peaks.PeakMaxText, QStringLiteral("low"));
        QCOMPARE(peaks.PeakMinText, QStringLiteral("low"));
    }
};

QTEST_APPLESS_MAIN(TestLimits)
#include "tst_limits.moc"
