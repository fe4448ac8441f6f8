#include "MeterSession.h"

#include <QTemporaryDir>
#include <QTest>

#include <array>
#include <cstdlib>
#include <functional>
#include <memory>
#include <stdexcept>
#include <utility>

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

// A family that frames by length: two bytes, 0xAA and the count.
class PairCutter final : public StreamCutter {
public:
    using StreamCutter::StreamCutter;
    void feed(const std::uint8_t* data, std::size_t size, qint64) override {
        for (std::size_t i = 0; i < size; ++i) {
            m_frame += QStringLiteral("%1").arg(data[i], 2, 16, QChar(u'0')).toUpper();
            if (m_frame.size() == 4)
                deliver(std::exchange(m_frame, QString()));
        }
    }
    bool expire(qint64) override { return false; }
    void reset() override { m_frame.clear(); }

private:
    QString m_frame;
};

MeterProfile pairedModel() {
    MeterProfile model = MeterProfile::standard();
    model.requests.clear();
    model.frames.cutter = [](StreamCutter::FrameHandler onFrame) {
        return std::make_unique<PairCutter>(std::move(onFrame));
    };
    model.frames.verdictOf = [](const QString& frameHex) {
        return frameHex.startsWith(u"AA") ? LineVerdict::MainDisplay : LineVerdict::BarGraph;
    };
    model.frames.decodeMain = [](QStringView frameHex, int) {
        MainDisplay display;
        display.readingValue = float(frameHex.mid(2).toInt(nullptr, 16));
        return display;
    };
    model.frames.decodeBar = nullptr;
    return model;
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
        auto setup = MeterSession::Setup::forProcess();
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

    // The model's frame format cuts and decodes; a kind its model has no decoder for is only
    // counted.
    void theModelsFrameFormatCutsAndDecodes() {
        QTemporaryDir dir;
        auto setup = MeterSession::Setup::forProcess();
        setup.model = pairedModel();
        setup.clock = [] { return qint64(0); };
        setup.tableFolder = dir.path();
        MeterSession session(std::move(setup));
        QList<float> values;
        connect(&session, &MeterSession::mainFrame, this,
                [&values](const FrameResult& r) { values << r.reading.ReadingValue; });
        int bars = 0;
        connect(&session, &MeterSession::barFrame, this, [&bars] { ++bars; });
        const std::uint8_t bytes[] = {0xAA, 0x12, 0x8A, 0x00, 0xAA};
        session.receive(bytes, 3);
        session.receive(bytes + 3, 2);
        QCOMPARE(values, QList<float>{18});
        QCOMPARE(bars, 0);
        QCOMPARE(session.linkHealth().unknownLines(), 1U);
    }

    // A set-up that lacks what the session would otherwise take from the process is refused.
    void aSetupLackingAnInputIsRefused_data() {
        QTest::addColumn<int>("lacking");
        QTest::newRow("clock") << 0;
        QTest::newRow("wall clock") << 1;
        QTest::newRow("environment") << 2;
        QTest::newRow("table folder") << 3;
    }

    void aSetupLackingAnInputIsRefused() {
        QFETCH(int, lacking);
        MeterSession::Setup setup(
            MeterProfile::standard(), [] { return qint64(0); }, [] { return QDateTime(); },
            [](const QString&) { return QString(); }, QStringLiteral("/tmp"));
        const std::array<std::function<void()>, 4> lack = {
            [&] { setup.clock = nullptr; }, [&] { setup.wallClock = nullptr; },
            [&] { setup.environment = nullptr; }, [&] { setup.tableFolder.clear(); }};
        lack[std::size_t(lacking)]();
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, MeterSession{std::move(setup)});
    }
};

QTEST_GUILESS_MAIN(SessionFramesTest)
#include "tst_sessionframes.moc"
