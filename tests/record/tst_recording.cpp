#include "Recording.h"

#include <QTest>

namespace {

Reading volts(const QString& text) {
    Reading r;
    r.ReadingText = text;
    r.UnitText = "V";
    r.AcDcText = "DC";
    r.RangeText = "AUTO";
    r.ReadingValue = text.toFloat();
    return r;
}

// Offers a reading and, when it is to be stored, counts it as the window does after appending.
bool offerAndStore(RecordingState& s, const Reading& r, const Recording::Filters& f) {
    if (Recording::offer(s, r, f) != Recording::Verdict::Store)
        return false;
    Recording::stored(s);
    return true;
}

} // namespace

class RecordingTest : public QObject {
    Q_OBJECT
private slots:
    void aSteadyMeterIsStoredOnceWithRepeatOn() {
        RecordingState s;
        const Recording::Filters f{true, false, "10"};
        QVERIFY(offerAndStore(s, volts("12.34"), f));
        QVERIFY(!offerAndStore(s, volts("12.34"), f));
        QVERIFY(!offerAndStore(s, volts("12.34"), f));
        QVERIFY(offerAndStore(s, volts("12.35"), f));
        Reading ac = volts("12.35");
        ac.AcDcText = "AC";
        QVERIFY(offerAndStore(s, ac, f)); // any of the four texts counts
        QCOMPARE(s.NextRecordNo, 4);
        QCOMPARE(s.RecordedCount, 3);
    }

    void everyReadingIsStoredWithRepeatAndIntervalOff() {
        RecordingState s;
        const Recording::Filters f{false, false, "10"};
        for (int i = 0; i < 5; ++i)
            QVERIFY(offerAndStore(s, volts("1.000"), f));
        QCOMPARE(s.RecordedCount, 5);
    }

    void theIntervalWaitsItsTicks_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("ticksToWait");
        QTest::newRow("10 s") << "10" << 10;
        QTest::newRow("0 s") << "0" << 0;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("a lone sign") << "-" << 0;
    }

    void theIntervalWaitsItsTicks() {
        QFETCH(QString, text);
        QFETCH(int, ticksToWait);
        RecordingState s;
        const Recording::Filters f{false, true, text};
        QVERIFY(offerAndStore(s, volts("1.000"), f));
        for (int tick = 0; tick < ticksToWait; ++tick) {
            QVERIFY2(!offerAndStore(s, volts("2.000"), f), qPrintable(QString::number(tick)));
            Recording::tick(s, true);
        }
        QVERIFY(offerAndStore(s, volts("3.000"), f));
    }

    void theCountdownOnlyRunsWhileTheIntervalIsOn() {
        RecordingState s;
        s.RecordCountdown = 3;
        Recording::tick(s, false);
        QCOMPARE(s.RecordCountdown, 3);
        Recording::tick(s, true);
        QCOMPARE(s.RecordCountdown, 2);
    }

    void aSteadyMeterAtCountdownZeroWaitsForTheFirstChange() {
        RecordingState s;
        const Recording::Filters f{true, true, "2"};
        QVERIFY(offerAndStore(s, volts("5.000"), f));
        Recording::tick(s, true);
        Recording::tick(s, true);
        QVERIFY(!offerAndStore(s, volts("5.000"), f));
        QCOMPARE(s.RecordCountdown, 0);
        QVERIFY(offerAndStore(s, volts("5.001"), f));
    }

    void theLimitLetsInExactlyThatManyReadings() {
        RecordingState s;
        s.RecordLimit = 1000;
        const Recording::Filters f{false, false, ""};
        int stored = 0;
        for (int i = 0; i < 1200; ++i)
            stored += offerAndStore(s, volts("1.000"), f);
        QCOMPARE(stored, 1000);
        QCOMPARE(s.NextRecordNo, 1001);
        QCOMPARE(Recording::offer(s, volts("1.000"), f), Recording::Verdict::LimitReached);
    }

    void aLowerLimitStopsAtOnceAndALargerOneResumes() {
        RecordingState s;
        const Recording::Filters f{false, false, ""};
        for (int i = 0; i < 10; ++i)
            QVERIFY(offerAndStore(s, volts("1.000"), f));
        s.RecordLimit = 5;
        QVERIFY(!offerAndStore(s, volts("1.000"), f));
        s.RecordLimit = 11;
        QVERIFY(offerAndStore(s, volts("1.000"), f));
        QVERIFY(!offerAndStore(s, volts("1.000"), f));
    }

    void anIntervalThatIsNotANumberStoresNothing() {
        RecordingState s;
        const Recording::Filters f{true, false, "1x"};
        QCOMPARE(Recording::offer(s, volts("1.000"), f), Recording::Verdict::BadInterval);
        QCOMPARE(s.RecordedCount, 0);
        QCOMPARE(invalidIntegerMessage("1x"), QString("'1x' is not a valid integer value"));
    }

    void aStoredReadingBecomesTheNextNumberedRowAtItsTimeOfDay() {
        RecordingState s;
        s.NextRecordNo = 42;
        Reading r = volts("-01.25");
        r.ReadingValue = -125.0f;
        const ReadingRecord row = Recording::recordOf(s, r, QTime(13, 5, 7, 250));
        QCOMPARE(row.no, 42);
        QCOMPARE(row.timeOfDayMs, ((13 * 60 + 5) * 60 + 7) * 1000 + 250);
        QCOMPARE(row.value, QString("-01.25"));
        QCOMPARE(row.acDc, QString("DC"));
        QCOMPARE(row.unit, QString("V"));
        QCOMPARE(row.range, QString("AUTO"));
        QCOMPARE(row.nval, -125.0);
    }

    void numberingGoesOnAfterReadingsTakenBackFromTheJournal_data() {
        QTest::addColumn<int>("next");
        QTest::addColumn<bool>("known");
        QTest::addColumn<int>("lastNo");
        QTest::addColumn<int>("expected");
        QTest::newRow("fresh run") << 1 << true << 17 << 18;
        QTest::newRow("numbers unknown") << 1 << false << 0 << 1;
        QTest::newRow("already past them") << 30 << true << 17 << 30;
        QTest::newRow("the largest number") << 1 << true << 2147483647 << 1;
    }

    void numberingGoesOnAfterReadingsTakenBackFromTheJournal() {
        QFETCH(int, next);
        QFETCH(bool, known);
        QFETCH(int, lastNo);
        QFETCH(int, expected);
        RecordingState s;
        s.NextRecordNo = next;
        Recording::continueAfter(s, known ? std::optional<qint32>(lastNo) : std::nullopt);
        QCOMPARE(s.NextRecordNo, expected);
    }
};

QTEST_APPLESS_MAIN(RecordingTest)
#include "tst_recording.moc"
