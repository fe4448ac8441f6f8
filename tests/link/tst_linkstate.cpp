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
        const auto base = longPressCode(static_cast<MeterKey>(key));
        QCOMPARE(int(keyCodeAtRelease(base, true)), longCode);
        QCOMPARE(int(keyCodeAtRelease(base, false)), longCode + 1);
    }
};

QTEST_APPLESS_MAIN(LinkStateTest)
#include "tst_linkstate.moc"
