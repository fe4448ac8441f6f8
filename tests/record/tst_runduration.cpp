#include "RunDuration.h"

#include <QTest>

#include <limits>

namespace {

constexpr qint64 kSecond = 1000;
constexpr qint64 kHour = 3600 * kSecond;
constexpr qint64 kIntMax = std::numeric_limits<int>::max();

} // namespace

// How long a run may last and when it is over: the text a user types, the longest run that can be
// kept, and the end decided on a monotonic clock, without any timer of a given length.
class TestRunDuration : public QObject {
    Q_OBJECT

private slots:
    void textsGiveTheirMilliseconds_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("ms");
        QTest::newRow("bare seconds") << "90" << 90 * kSecond;
        QTest::newRow("seconds") << "90s" << 90 * kSecond;
        QTest::newRow("minutes") << "15m" << 15 * 60 * kSecond;
        QTest::newRow("hours") << "8h" << 8 * kHour;
        // Each of these ended early or never while the run's end was a timer of an int interval.
        QTest::newRow("49.7 days, past the int milliseconds") << "4294968" << 4294968 * kSecond;
        QTest::newRow("597 h, the int wraps negative") << "597h" << 597 * kHour;
        QTest::newRow("1200 h, the int wraps to 7 h") << "1200h" << 1200 * kHour;
        QTest::newRow("a year") << "8760h" << 8760 * kHour;
        QTest::newRow("the longest run")
            << QString::number(RunDuration::kLongestMs / kHour) + "h" << RunDuration::kLongestMs;
    }

    void textsGiveTheirMilliseconds() {
        QFETCH(QString, text);
        QFETCH(qint64, ms);
        QString problem;
        QCOMPARE(RunDuration::fromText(text, problem), std::optional<qint64>(ms));
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }

    void durationsThatCannotBeKeptAreRefusedWithTheReason_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("said");
        QTest::newRow("zero") << "0"
                              << "longer than 0";
        QTest::newRow("zero hours") << "0h"
                                    << "longer than 0";
        QTest::newRow("no number") << "h"
                                   << "such as";
        QTest::newRow("empty") << ""
                               << "such as";
        QTest::newRow("negative") << "-5"
                                  << "such as";
        QTest::newRow("unknown unit") << "5d"
                                      << "such as";
        QTest::newRow("fraction") << "1.5h"
                                  << "such as";
        QTest::newRow("one hour past the longest run")
            << QString::number(RunDuration::kLongestMs / kHour + 1) + "h"
            << "longest";
        QTest::newRow("past 64-bit milliseconds") << "9223372036854775807h"
                                                  << "longest";
        QTest::newRow("more digits than any integer") << QString(40, u'9') << "longest";
    }

    void durationsThatCannotBeKeptAreRefusedWithTheReason() {
        QFETCH(QString, text);
        QFETCH(QString, said);
        QString problem;
        QCOMPARE(RunDuration::fromText(text, problem), std::nullopt);
        QVERIFY2(problem.contains(said), qPrintable(problem));
    }

    void aRunIsOverWhenItsDurationHasPassedOnTheClock_data() {
        QTest::addColumn<qint64>("startedMs");
        QTest::addColumn<qint64>("durationMs");
        QTest::addColumn<qint64>("nowMs");
        QTest::addColumn<bool>("over");
        QTest::newRow("just started") << qint64(500) << 90 * kSecond << qint64(500) << false;
        QTest::newRow("a millisecond short")
            << qint64(500) << 90 * kSecond << 500 + 90 * kSecond - 1 << false;
        QTest::newRow("exactly at the end")
            << qint64(500) << 90 * kSecond << 500 + 90 * kSecond << true;
        QTest::newRow("a tick late")
            << qint64(500) << 90 * kSecond << 500 + 90 * kSecond + 100 << true;
        QTest::newRow("49.7 days: not over after 0.71 s")
            << qint64(0) << 4294968 * kSecond << qint64(710) << false;
        QTest::newRow("49.7 days: not over where the int wraps")
            << qint64(0) << 4294968 * kSecond << kIntMax + 1 << false;
        QTest::newRow("49.7 days: over at its end")
            << qint64(0) << 4294968 * kSecond << 4294968 * kSecond << true;
        QTest::newRow("1200 h: not over after 7 h")
            << qint64(0) << 1200 * kHour << 7 * kHour + 1 << false;
        QTest::newRow("597 h: over at its end, on a clock long past boot")
            << 40 * 24 * kHour << 597 * kHour << 40 * 24 * kHour + 597 * kHour << true;
        QTest::newRow("the longest run on a clock a century past boot")
            << RunDuration::kLongestMs << RunDuration::kLongestMs << 2 * RunDuration::kLongestMs - 1
            << false;
    }

    void aRunIsOverWhenItsDurationHasPassedOnTheClock() {
        QFETCH(qint64, startedMs);
        QFETCH(qint64, durationMs);
        QFETCH(qint64, nowMs);
        QFETCH(bool, over);
        QCOMPARE(RunDuration::isOver(startedMs, durationMs, nowMs), over);
    }
};

QTEST_GUILESS_MAIN(TestRunDuration)
#include "tst_runduration.moc"
