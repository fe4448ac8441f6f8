#include "FrameCutter.h"
#include "KeyCommands.h"
#include "LinkIndicator.h"
#include "RequestCycle.h"
#include "TraceList.h"

#include <QTest>

#include <malloc.h>

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

    // Frames are kept as their bytes and notes as their text; each reads back as it was given,
    // the newest lines only.
    void traceListGivesBackItsNewestLines_data() {
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("frames") << QStringList{"89700800000F010203040A", "8A123456789A0A", "0A"};
        QTest::newRow("notes") << QStringList{"# gone COM1 /dev/ttyUSB0", "# back COM1 /dev/ttyµ0",
                                              "", "# stale 8970"};
        QTest::newRow("not a frame's hex") << QStringList{"89700800000f0A", "897", "8G", "0A 0A"};
        QTest::newRow("longer than a block")
            << QStringList{"# a", QString(3 * 4096, u'5'), QString(5000, u'x'), "0A"};
    }
    void traceListGivesBackItsNewestLines() {
        QFETCH(QStringList, lines);
        TraceList all;
        TraceList newest(3);
        for (const QString& line : lines) {
            all.append(line);
            newest.append(line);
        }
        QCOMPARE(all.size(), std::size_t(lines.size()));
        for (qsizetype i = 0; i < lines.size(); ++i)
            QCOMPARE(all.line(std::size_t(i)), lines[i]);
        QCOMPARE(newest.size(), std::size_t(3));
        QCOMPARE(newest.line(0), lines[lines.size() - 3]);
        QCOMPARE(newest.last(), lines.last());
    }

    // The bound is on the heap the trace takes, as the allocator counts it: an ordinary frame
    // takes a few bytes more than itself, and the longest lines the cutter makes, one after
    // another, stay within the bound.
    void traceListBoundsItsHeap_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<double>("mostBytesALine");
        QTest::newRow("main-display frames") << "89700800000F010203040A" << 13.0;
        QTest::newRow("junk lines") << QString(2 * FrameCutter::kMaxLineBytes, u'5') << 1e9;
    }
    void traceListBoundsItsHeap() {
        QFETCH(QString, line);
        QFETCH(double, mostBytesALine);
        const std::size_t heapBefore = mallinfo2().uordblks;
        TraceList trace;
        for (int i = 0; i < 20000; ++i)
            trace.append(line);
        const auto heap = double(mallinfo2().uordblks - heapBefore);
        QVERIFY2(heap <= TraceList::kDefaultByteCapacity + 64 * 1024,
                 qPrintable(QString::number(heap)));
        QVERIFY2(heap / double(trace.size()) <= mostBytesALine, qPrintable(QString::number(heap)));
        QCOMPARE(trace.last(), line);
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
