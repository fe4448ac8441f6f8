#include "MeterSession.h"

#include <QTemporaryDir>
#include <QTest>

#include <cstdlib>
#include <memory>

namespace {

// A DC volts frame for a count of the display, five digits when the count needs them.
QByteArray voltsFrame(int count, int range) {
    const bool fiveDigit = std::abs(count) > 9999;
    QByteArray f;
    f.append(char(0x89)).append(char(0x70)).append(char(range << 3)).append(char(0));
    f.append(char((fiveDigit ? 0x04 : 0) | (count < 0 ? 0x10 : 0)));
    const QByteArray digits = QByteArray::number(std::abs(count)).rightJustified(5, '0');
    for (int i = 0; i < 5; ++i)
        f.append(char(i == 0 && !fiveDigit ? 0x0F : digits[i] - '0'));
    return f.append('\n');
}

} // namespace

// The decisions a session takes for each main-display frame, in the result the host shows.
class SessionFramesTest : public QObject {
    Q_OBJECT

private slots:
    // The MIN and MAX rows follow the readings; a change of unit or range starts them afresh
    // (and the chart with them): MIN takes the new reading, MAX keeps its text until the next
    // reading, whatever the digit mode.
    void peaksFollowTheReadingsUntilTheRangeChanges_data() {
        QTest::addColumn<QList<int>>("counts");
        QTest::addColumn<QList<int>>("ranges");
        QTest::addColumn<int>("maxIndex"); // the frame whose text each row shows at the end
        QTest::addColumn<int>("minIndex");
        QTest::addColumn<QList<int>>("restarts"); // the frames that start afresh
        QTest::newRow("within a range")
            << QList<int>{1234, 1239, 1231} << QList<int>{1, 1, 1} << 1 << 2 << QList<int>{0};
        QTest::newRow("another range: MIN takes it, MAX keeps its text")
            << QList<int>{1234, 1239, 1231, 1235} << QList<int>{1, 1, 1, 2} << 1 << 3
            << QList<int>{0, 3};
        QTest::newRow("four digits after another range")
            << QList<int>{500, 600, 1234, 2000, 1500} << QList<int>{2, 2, 1, 1, 1} << 3 << 4
            << QList<int>{0, 2};
        QTest::newRow("five digits above 8001")
            << QList<int>{500, 600, 12345, 20000, 15000} << QList<int>{2, 2, 1, 1, 1} << 3 << 4
            << QList<int>{0, 2};
        QTest::newRow("five digits below -8001")
            << QList<int>{500, 600, -12345, -20000, -15000} << QList<int>{2, 2, 1, 1, 1} << 4 << 3
            << QList<int>{0, 2};
    }

    void peaksFollowTheReadingsUntilTheRangeChanges() {
        QFETCH(QList<int>, counts);
        QFETCH(QList<int>, ranges);
        QFETCH(QList<int>, restarts);
        QTemporaryDir dir;
        MeterSession::Setup setup;
        setup.clock = [] { return qint64(0); };
        setup.tableFolder = dir.path();
        MeterSession session(std::move(setup));
        QList<FrameResult> results;
        connect(&session, &MeterSession::mainFrame, this,
                [&results](const FrameResult& r) { results << r; });
        for (qsizetype i = 0; i < counts.size(); ++i) {
            const QByteArray f = voltsFrame(counts[i], ranges[i]);
            session.receive(reinterpret_cast<const std::uint8_t*>(f.constData()),
                            std::size_t(f.size()));
        }
        QCOMPARE(results.size(), counts.size());
        QList<int> restarted;
        for (qsizetype i = 0; i < results.size(); ++i) {
            if (results[i].restarted)
                restarted << int(i);
        }
        QCOMPARE(restarted, restarts);
        QFETCH(int, maxIndex);
        QFETCH(int, minIndex);
        QCOMPARE(results.last().peaks.PeakMaxText, results[maxIndex].reading.ReadingText);
        QCOMPARE(results.last().peaks.PeakMinText, results[minIndex].reading.ReadingText);
        QCOMPARE(session.peaks().peaks().PeakMaxText, results.last().peaks.PeakMaxText);
    }
};

QTEST_GUILESS_MAIN(SessionFramesTest)
#include "tst_sessionframes.moc"
