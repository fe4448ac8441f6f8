#include "FrameCutter.h"

#include <QTest>

#include <vector>

namespace {
using Bytes = std::vector<std::uint8_t>;
}

class FrameCutterTest : public QObject {
    Q_OBJECT

    QStringList frames;
    FrameCutter cutter{[this](const QString& f) { frames << f; }};

    void feed(const Bytes& b) { cutter.feed(b.data(), b.size()); }

private slots:
    void init() {
        frames.clear();
        cutter.reset();
    }

    void twoFramesAndAHalfDispatchTwoAndKeepTheHalf() {
        feed({0x89, 0x01, 0x0A, 0x8A, 0x02, 0x0A, 0x89, 0x33});
        QCOMPARE(frames, (QStringList{"89010A", "8A020A"}));
        QCOMPARE(cutter.pending(), QString("8933"));
        feed({0x44, 0x0A});
        QCOMPARE(frames.last(), QString("8933440A"));
    }

    void oneFrameOverThreeEventsArrivesWhole() {
        feed({0x89, 0x70});
        feed({0x08, 0x00, 0x00, 0x0F});
        QVERIFY(frames.isEmpty());
        feed({0x01, 0x02, 0x03, 0x04, 0x0A});
        QCOMPARE(frames, QStringList{"89700800000F010203040A"});
    }

    void everySplitOfAStreamGivesTheSameFrames_data() {
        QTest::addColumn<int>("cut");
        for (int cut = 0; cut <= 18; ++cut)
            QTest::addRow("cut at %d", cut) << cut;
    }

    void everySplitOfAStreamGivesTheSameFrames() {
        QFETCH(int, cut);
        const Bytes stream{0x89, 0x70, 0x08, 0x00, 0x00, 0x0F, 0x01, 0x02, 0x03,
                           0x04, 0x0A, 0x8A, 0x12, 0x34, 0x56, 0x78, 0x9A, 0x0A};
        cutter.feed(stream.data(), cut);
        cutter.feed(stream.data() + cut, stream.size() - cut);
        QCOMPARE(frames, (QStringList{"89700800000F010203040A", "8A123456789A0A"}));
    }

    void aDataByteOfLineFeedEndsTheFrame() {
        feed({0x89, 0x0A, 0x05, 0x0A});
        QCOMPARE(frames, (QStringList{"890A", "050A"}));
    }

    void resetDropsTheUnfinishedLine() {
        feed({0x89, 0x70});
        cutter.reset();
        feed({0x8A, 0x0A});
        QCOMPARE(frames, QStringList{"8A0A"});
    }

    void aLineWithoutLineFeedCannotGrowWithoutBound() {
        const Bytes junk(FrameCutter::kMaxLineBytes + 10, 0x55);
        feed(junk);
        QCOMPARE(frames.size(), 1);
        QCOMPARE(frames[0].size(), 2 * FrameCutter::kMaxLineBytes);
        QCOMPARE(cutter.pending().size(), 20);
    }

    // A meter switched off mid-frame: its half frame must not be glued onto the next good one,
    // which would read 11.11 V as -800.01 V with the battery symbol.
    void halfFrameBeforeASilenceIsDroppedNotGlued() {
        const Bytes good{0x89, 0x70, 0x08, 0x00, 0x00, 0x0F, 0x01, 0x02, 0x03, 0x04, 0x0A};
        cutter.feed(Bytes{0x89, 0x70, 0x08}.data(), 3, 0);
        cutter.feed(good.data(), good.size(), 1500);
        QCOMPARE(frames, QStringList{"89700800000F010203040A"});
    }

    // The bound follows the reader's poll: the window polls every 50 ms, the logger every 100.
    void silenceDropsTheLineOnlyAfterTwoPolls_data() {
        QTest::addColumn<qint64>("pollMs");
        QTest::addColumn<qint64>("gap");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("50: next poll") << qint64(50) << qint64(50) << QStringList{"89700A"};
        QTest::newRow("50: exactly two polls")
            << qint64(50) << qint64(100) << QStringList{"89700A"};
        QTest::newRow("50: just over two polls") << qint64(50) << qint64(101) << QStringList{"0A"};
        QTest::newRow("50: clock stepped back")
            << qint64(50) << qint64(-5000) << QStringList{"89700A"};
        QTest::newRow("100: one late poll") << qint64(100) << qint64(150) << QStringList{"89700A"};
        QTest::newRow("100: exactly two polls")
            << qint64(100) << qint64(200) << QStringList{"89700A"};
        QTest::newRow("100: just over two polls")
            << qint64(100) << qint64(201) << QStringList{"0A"};
    }

    void silenceDropsTheLineOnlyAfterTwoPolls() {
        QFETCH(qint64, pollMs);
        QFETCH(qint64, gap);
        QFETCH(QStringList, expected);
        if (pollMs != 50)
            cutter.setStaleAfterMs(FrameCutter::staleAfterForPoll(pollMs));
        const std::uint8_t head[] = {0x89, 0x70};
        const std::uint8_t tail[] = {0x0A};
        cutter.feed(head, sizeof head, 10'000);
        cutter.feed(tail, sizeof tail, 10'000 + gap);
        cutter.setStaleAfterMs(FrameCutter::kDefaultStaleAfterMs);
        QCOMPARE(frames, expected);
    }

    void aDroppedLineIsReportedAndATickCanDropIt() {
        QStringList stale;
        cutter.setOnStaleLine([&stale](const QString& line) { stale << line; });
        const std::uint8_t head[] = {0x8A, 0x12};
        cutter.feed(head, sizeof head, 0);
        QVERIFY(!cutter.expire(100));
        QVERIFY(cutter.expire(101));
        QVERIFY(!cutter.expire(5000));
        QCOMPARE(stale, QStringList{"8A12"});
        QVERIFY(cutter.pending().isEmpty());
        cutter.setOnStaleLine({});
    }

    // The untimed feed keeps the old contract: a line waits however long the next event takes.
    void untimedFeedNeverDropsAndAnEmptyEventDoesNotRestartTheClock() {
        const std::uint8_t head[] = {0x89};
        const std::uint8_t tail[] = {0x0A};
        cutter.feed(head, sizeof head, 0);
        cutter.feed(tail, 0, 90); // an empty event is no arrival
        cutter.feed(tail, sizeof tail, 150);
        QCOMPARE(frames, QStringList{"0A"});
        cutter.feed(head, sizeof head);
        cutter.feed(tail, sizeof tail);
        QCOMPARE(frames.last(), QString("890A"));
    }
};

QTEST_APPLESS_MAIN(FrameCutterTest)
#include "tst_framecutter.moc"
