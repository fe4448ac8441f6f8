#include "LinkHealth.h"

#include <QTest>

class LinkHealthTest : public QObject {
    Q_OBJECT

private slots:
    void everyLineIsCountedUnderItsVerdict() {
        LinkHealth health;
        health.restart(1000);
        QCOMPARE(health.countLine("89700800000F010203040A", 1400), LineVerdict::MainDisplay);
        QCOMPARE(health.countLine("8A123456789A0A", 1450), LineVerdict::BarGraph);
        QCOMPARE(health.countLine("8A12340A", 1500), LineVerdict::TooShort);
        QCOMPARE(health.countLine("550A", 1550), LineVerdict::UnknownKind);
        QCOMPARE(health.countLine("89700800000F010203040A", 1900), LineVerdict::MainDisplay);
        QCOMPARE(health.mainFrames(), 2u);
        QCOMPARE(health.barFrames(), 1u);
        QCOMPARE(health.shortLines(), 1u);
        QCOMPARE(health.unknownLines(), 1u);
    }

    // A meter switched off for a while shows as a long gap, even before it comes back.
    void longestMainGapCountsFromConnectAndIncludesTheOpenGap() {
        LinkHealth health;
        health.restart(10'000);
        QCOMPARE(health.longestMainGapMs(), 0);
        (void)health.countLine("89700800000F010203040A", 10'700);
        (void)health.countLine("89700800000F010203040A", 11'200);
        (void)health.countLine("8A123456789A0A", 14'000); // bar frames do not end the gap
        QCOMPARE(health.longestMainGapMs(), 700);
        QCOMPARE(health.longestMainGapMs(14'000), 2800);
        (void)health.countLine("89700800000F010203040A", 15'000);
        QCOMPARE(health.longestMainGapMs(15'100), 3800);
    }

    void restartZeroesEverything() {
        LinkHealth health;
        health.countRequestSent();
        health.countRequestSkipped();
        health.countStaleLine();
        health.countReconnect();
        (void)health.countLine("550A", 5);
        health.restart(100);
        QCOMPARE(health.summaryLine(100),
                 QString("# link health: requests 0 sent, 0 skipped; frames 0 main, 0 bar; dropped "
                         "0 stale, 0 too short, 0 unknown; reconnects 0; longest main-display gap "
                         "0.000 s"));
    }

    void summaryIsOneNoteLineWithEveryCount() {
        LinkHealth health;
        health.restart(0);
        for (int i = 0; i < 3; ++i)
            health.countRequestSent();
        health.countRequestSkipped();
        health.countStaleLine();
        health.countReconnect();
        (void)health.countLine("89700800000F010203040A", 1500);
        const QString line = health.summaryLine();
        QVERIFY(LinkHealth::isNote(line));
        QVERIFY(!line.contains(u'\n'));
        QCOMPARE(line, QString("# link health: requests 3 sent, 1 skipped; frames 1 main, 0 bar; "
                               "dropped 1 stale, 0 too short, 0 unknown; reconnects 1; longest "
                               "main-display gap 1.500 s"));
    }

    // The trace holds the lines and the window's notes, but neither requests nor times.
    void aTraceGivesTheSameCountsFromItsLinesAndNotes() {
        LinkHealth live;
        live.restart(0);
        LinkHealth fromTrace(LinkHealth::Source::Trace);
        const QStringList trace{"89700800000F010203040A",
                                LinkHealth::staleNote("8970"),
                                "8A123456789A0A",
                                LinkHealth::goneNote("COM1", "/dev/ttyUSB0"),
                                LinkHealth::backNote("COM1", "/dev/ttyUSB0"),
                                "890A",
                                live.summaryLine(),
                                "0A"};
        for (const QString& line : trace)
            fromTrace.countTraceLine(line);
        QCOMPARE(fromTrace.summaryLine(),
                 QString("# link health (trace): frames 1 main, 1 bar; dropped 1 stale, 1 too "
                         "short, 1 unknown; reconnects 1"));
    }

    void notesCannotBeReadAsFrames() {
        for (const QString& note : {LinkHealth::staleNote("89700800000F01020304"),
                                    LinkHealth::goneNote("COM2", "/dev/ttyACM1"),
                                    LinkHealth::backNote("COM2", "/dev/ttyACM1")}) {
            QVERIFY(LinkHealth::isNote(note));
            QCOMPARE(lineVerdictOf(note), LineVerdict::UnknownKind);
        }
        QVERIFY(!LinkHealth::isNote(u"89700A"));
    }
};

QTEST_APPLESS_MAIN(LinkHealthTest)
#include "tst_linkhealth.moc"
