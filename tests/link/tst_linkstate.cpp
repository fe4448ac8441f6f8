#include "FrameCutter.h"
#include "KeyCommands.h"
#include "LinkIndicator.h"
#include "RequestCycle.h"
#include "TraceList.h"

#include <QTest>

class LinkStateTest : public QObject {
    Q_OBJECT
private slots:
    void requestCycleSendsThreeBarRequestsOneMainRequestAndAPause() {
        RequestCycle cycle;
        QList<int> sent;
        for (int tick = 0; tick < 10; ++tick) {
            const auto request = cycle.step();
            sent << (request ? int(*request) : -1);
        }
        QCOMPARE(sent, (QList<int>{0x8A, 0x8A, 0x8A, 0x89, -1, 0x8A, 0x8A, 0x8A, 0x89, -1}));
        QCOMPARE(cycle.phase(), 0);
    }

    void linkTurnsOffOnTheThirdTickWithoutAFrame() {
        LinkIndicator link;
        link.markAlive();
        QVERIFY(!link.tick());
        QVERIFY(!link.tick());
        QVERIFY(link.linked());
        QVERIFY(link.tick());
        QVERIFY(!link.linked());
    }

    void aFrameBetweenTicksKeepsTheLinkAlive() {
        LinkIndicator link;
        link.markAlive();
        for (int i = 0; i < 10; ++i) {
            QVERIFY(!link.tick());
            QVERIFY(!link.tick());
            link.markAlive();
        }
        QVERIFY(link.linked());
    }

    void traceListKeepsOnlyTheNewestLines() {
        TraceList trace(3);
        for (int i = 1; i <= 5; ++i)
            trace.append(QString::number(i));
        QCOMPARE(trace.size(), std::size_t(3));
        QCOMPARE(trace.line(0), QString("3"));
        QCOMPARE(trace.last(), QString("5"));
    }

    // A line that never sends a line feed gives the longest lines the cutter makes, one after
    // another; the default trace must stay within a few megabytes of text however long it runs.
    void junkLinesKeepTheTraceWithinAFewMegabytes() {
        TraceList trace;
        const QString longest(2 * FrameCutter::kMaxLineBytes, u'5');
        for (int i = 0; i < 20000; ++i)
            trace.append(longest);
        std::size_t bytes = 0;
        for (std::size_t i = 0; i < trace.size(); ++i)
            bytes += std::size_t(trace.line(i).size()) * sizeof(QChar);
        QVERIFY2(bytes <= 8u * 1024 * 1024, qPrintable(QString::number(bytes)));
        QCOMPARE(trace.last(), longest);
        QCOMPARE(trace.bytes(), bytes);
    }

    void traceDropsTheOldestLinesToStayWithinItsBytesAndKeepsTheNewest() {
        TraceList trace(100, 40);
        trace.append(QString(8, u'a')); // 16 bytes
        trace.append(QString(8, u'b'));
        trace.append(QString(8, u'c'));
        QCOMPARE(trace.size(), std::size_t(2));
        QCOMPARE(trace.line(0), QString(8, u'b'));
        trace.append(QString(30, u'd')); // 60 bytes: over the bound alone, kept alone
        QCOMPARE(trace.size(), std::size_t(1));
        QCOMPARE(trace.bytes(), std::size_t(60));
        trace.append(QString(2, u'e'));
        QCOMPARE(trace.size(), std::size_t(1));
        QCOMPARE(trace.last(), QString(2, u'e'));
    }

    void keyCodesAreEvenForLongAndOddForShortPresses_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("longCode");
        QTest::newRow("RANGE") << int(MeterKey::Range) << 0xA0;
        QTest::newRow("Hz-%") << int(MeterKey::Hz) << 0xA2;
        QTest::newRow("Hold") << int(MeterKey::Hold) << 0xA4;
        QTest::newRow("REL") << int(MeterKey::Rel) << 0xA6;
        QTest::newRow("MAX-MIN") << int(MeterKey::Record) << 0xA8;
        QTest::newRow("Peak-Buzzer") << int(MeterKey::Peak) << 0xAA;
        QTest::newRow("Buzzer shares Peak's codes") << int(MeterKey::Buzzer) << 0xAA;
        QTest::newRow("AC-DC-Cap") << int(MeterKey::Sel) << 0xAC;
    }

    void keyCodesAreEvenForLongAndOddForShortPresses() {
        QFETCH(int, key);
        QFETCH(int, longCode);
        const HeldKey held{longPressCode(static_cast<MeterKey>(key)), 0};
        QCOMPARE(int(*keyCodeAtRelease(held, kLongPressMs)), longCode);
        QCOMPARE(int(*keyCodeAtRelease(held, 0)), longCode + 1);
    }

    // Hold pressed at `pressedMs` (none: no key held) and released at `releasedMs`; -1: nothing
    // is sent.
    void aReleaseSendsLongFromTheLongPressTimeOn_data() {
        QTest::addColumn<qint64>("pressedMs");
        QTest::addColumn<qint64>("releasedMs");
        QTest::addColumn<int>("code");
        QTest::newRow("clock equal") << qint64(5000) << qint64(5000) << 0xA5;
        QTest::newRow("just under") << qint64(5000) << qint64(5999) << 0xA5;
        QTest::newRow("exactly at") << qint64(5000) << qint64(6000) << 0xA4;
        QTest::newRow("over") << qint64(5000) << qint64(6500) << 0xA4;
        QTest::newRow("clock behind the press") << qint64(5000) << qint64(4000) << 0xA5;
        QTest::newRow("release without press") << qint64(-1) << qint64(6000) << -1;
    }

    void aReleaseSendsLongFromTheLongPressTimeOn() {
        QFETCH(qint64, pressedMs);
        QFETCH(qint64, releasedMs);
        QFETCH(int, code);
        std::optional<HeldKey> held;
        if (pressedMs >= 0)
            held = keyPressed(std::nullopt, longPressCode(MeterKey::Hold), pressedMs);
        const std::optional<std::uint8_t> sent = keyCodeAtRelease(held, releasedMs);
        QCOMPARE(sent ? int(*sent) : -1, code);
    }

    // A second press (Rel at `secondMs`) while Hold, pressed at 0, is held: the code is Rel's,
    // and the long-press time counts from `countsFromMs`.
    void aPressWhileHeldKeepsTheCountUntilItRunsOut_data() {
        QTest::addColumn<qint64>("secondMs");
        QTest::addColumn<qint64>("countsFromMs");
        QTest::newRow("same instant") << qint64(0) << qint64(0);
        QTest::newRow("while counting") << qint64(999) << qint64(0);
        QTest::newRow("when run out") << qint64(1000) << qint64(1000);
        QTest::newRow("long after") << qint64(4000) << qint64(4000);
    }

    void aPressWhileHeldKeepsTheCountUntilItRunsOut() {
        QFETCH(qint64, secondMs);
        QFETCH(qint64, countsFromMs);
        const HeldKey first = keyPressed(std::nullopt, longPressCode(MeterKey::Hold), 0);
        const HeldKey second = keyPressed(first, longPressCode(MeterKey::Rel), secondMs);
        QCOMPARE(int(second.longCode), 0xA6);
        QCOMPARE(second.sinceMs, countsFromMs);
    }
};

QTEST_APPLESS_MAIN(LinkStateTest)
#include "tst_linkstate.moc"
