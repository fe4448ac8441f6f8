#include "MeterSession.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

QByteArray bytes(const char* hex) {
    return QByteArray::fromHex(hex);
}

// The meter's answer for 11.11 V on the 80 V range.
const char* const kElevenVolts = "89700800000F010101010A";

} // namespace

// A session on a line that misbehaves, without a window: a meter switched off mid-frame, lost
// bytes, a line without line feeds, a meter that stops answering. Time is the test's own clock.
class SessionLinkTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    qint64 nowMs = 50'000;
    std::unique_ptr<MeterSession> session;

    void makeSession(quint16 receivePollMs = 50) {
        MeterSession::Setup setup;
        setup.clock = [this] { return nowMs; };
        setup.environment = [](const QString&) { return QString(); };
        setup.tableFolder = dir.path();
        setup.receivePollMs = receivePollMs;
        session = std::make_unique<MeterSession>(std::move(setup));
        QFile::remove(dir.filePath("Velmarbdb.DB"));
        session->openDefaultTable();
    }

    void feed(const QByteArray& data) {
        session->receive(reinterpret_cast<const std::uint8_t*>(data.constData()),
                         std::size_t(data.size()));
    }

    [[nodiscard]] bool traceHolds(const QString& prefix) const {
        for (std::size_t i = 0; i < session->trace().size(); ++i) {
            if (session->trace().line(i).startsWith(prefix))
                return true;
        }
        return false;
    }

private slots:
    void init() { makeSession(); }
    void cleanup() { session.reset(); }

    // A meter switched off mid-frame leaves "89 70 08" on the line; glued onto the next frame it
    // read -800.01 V with the battery symbol, shown and recorded.
    void aHalfFrameBeforeASilenceIsDroppedNotGlued_data() {
        QTest::addColumn<bool>("tickInBetween");
        QTest::newRow("dropped when the next bytes come") << false;
        QTest::newRow("dropped by the link tick during the silence") << true;
    }

    void aHalfFrameBeforeASilenceIsDroppedNotGlued() {
        QFETCH(bool, tickInBetween);
        QList<FrameResult> frames;
        connect(session.get(), &MeterSession::mainFrame, this,
                [&frames](const FrameResult& r) { frames << r; });
        feed(bytes("897008"));
        nowMs += 1500;
        if (tickInBetween) {
            session->linkTick();
            QVERIFY(traceHolds("# stale 897008"));
        }
        feed(bytes(kElevenVolts));

        QCOMPARE(frames.size(), 1);
        const FrameResult& result = frames.first();
        QCOMPARE(result.reading.ReadingText, QString("011.11"));
        QCOMPARE(result.reading.ReadingValue, 1111.0f);
        QVERIFY(!result.display.lit.test(Annunciator::LCDBATT));
        QVERIFY(result.stored);
        QCOMPARE(session->table().recordCount(), 1);
        QVERIFY(traceHolds("# stale 897008"));
        QCOMPARE(session->trace().last(), QString(kElevenVolts));
        QCOMPARE(session->linkHealth().staleLines(), 1u);
        QCOMPARE(session->linkHealth().mainFrames(), 1u);
    }

    // An unfinished line is stale after two of the host's receive polls, not before: the window
    // reads every 50 ms, the logger every 100 ms.
    void aLineIsStaleAfterTwoOfTheHostsPolls_data() {
        QTest::addColumn<int>("pollMs");
        QTest::addColumn<int>("gapMs");
        QTest::addColumn<bool>("whole");
        QTest::newRow("window, one late poll") << 50 << 100 << true;
        QTest::newRow("window, past two polls") << 50 << 101 << false;
        QTest::newRow("logger, one poll") << 100 << 100 << true;
        QTest::newRow("logger, two polls") << 100 << 200 << true;
        QTest::newRow("logger, past two polls") << 100 << 201 << false;
    }

    void aLineIsStaleAfterTwoOfTheHostsPolls() {
        QFETCH(int, pollMs);
        QFETCH(int, gapMs);
        QFETCH(bool, whole);
        makeSession(quint16(pollMs));
        feed(bytes("89700800000F01"));
        nowMs += gapMs;
        feed(bytes("010101010A"));
        QCOMPARE(session->reading().ReadingText == QString("011.11"), whole);
        QCOMPARE(session->linkHealth().staleLines(), whole ? 0u : 1u);
    }

    // A lost byte must not become a stored wrong reading, nor light the link picture; the line is
    // traced and counted.
    void aRefusedLineIsTracedAndCountedButNotDecoded_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("tooShort");
        QTest::newRow("main frame missing a byte") << bytes("897008000F010101010A") << true;
        QTest::newRow("bare main request echo") << bytes("890A") << true;
        QTest::newRow("bar frame missing a byte") << bytes("8A00000008050A").remove(3, 1) << true;
        QTest::newRow("unknown first byte") << bytes("55700800000F010101010A") << false;
    }

    void aRefusedLineIsTracedAndCountedButNotDecoded() {
        QFETCH(QByteArray, line);
        QFETCH(bool, tooShort);
        int frames = 0;
        connect(session.get(), &MeterSession::mainFrame, this, [&frames] { ++frames; });
        connect(session.get(), &MeterSession::barFrame, this, [&frames] { ++frames; });
        QSignalSpy link(session.get(), &MeterSession::linkChanged);
        feed(line);

        QCOMPARE(session->trace().last(), QString::fromLatin1(line.toHex().toUpper()));
        QCOMPARE(frames + link.size(), 0);
        QCOMPARE(session->table().recordCount(), 0);
        QCOMPARE(session->linkHealth().shortLines(), tooShort ? 1u : 0u);
        QCOMPARE(session->linkHealth().unknownLines(), tooShort ? 0u : 1u);
    }

    // A line that never sends a line feed: the trace stays within its bounds however long it runs.
    void theTraceStaysBoundedOnALineWithoutLineFeeds() {
        QSignalSpy link(session.get(), &MeterSession::linkChanged);
        const QByteArray chunk(2048, '\x55');
        for (int poll = 0; poll < 2048; ++poll) {
            nowMs += 50;
            feed(chunk);
        }
        QVERIFY(session->trace().bytes() <= TraceList::kDefaultByteCapacity);
        QVERIFY(session->trace().size() > 1);
        QVERIFY(session->linkHealth().unknownLines() >= 1000u);
        QCOMPARE(link.size(), 0);
    }

    // The link picture turns on with the first frame and off on the third link tick without one,
    // each once.
    void theLinkIsSaidOnlyWhenItChanges() {
        QSignalSpy link(session.get(), &MeterSession::linkChanged);
        feed(bytes(kElevenVolts));
        feed(bytes(kElevenVolts));
        for (int tick = 0; tick < 6; ++tick)
            session->linkTick();
        QCOMPARE(link.size(), 2);
        QCOMPARE(link.at(0).first().toBool(), true);
        QCOMPARE(link.at(1).first().toBool(), false);
    }
};

QTEST_MAIN(SessionLinkTest)
#include "tst_sessionlink.moc"
