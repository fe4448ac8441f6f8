#include "../support/PtyPair.h"
#include "../support/SteppedClockBackend.h"

#include "CaptureReader.h"
#include "CaptureWriter.h"
#include "CapturingSerialBackend.h"
#include "MeterSession.h"
#include "TCommPortDriver.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <fstream>
#include <memory>

namespace {

QByteArray bytes(const char* hex) {
    return QByteArray::fromHex(hex);
}

// The meter's answer for 11.11 V on the 80 V range.
const char* const kElevenVolts = "89700800000F010101010A";

} // namespace

// A session on a line that misbehaves, without a window: a meter switched off mid-frame, lost
// bytes, a line without line feeds, a meter that stops reading or answering, an adapter pulled
// and plugged in again. The meter is fed directly or plays on a pseudo-terminal whose polls the
// test drives; time is the test's own clock.
class SessionLinkTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    qint64 nowMs = 50'000;
    std::unique_ptr<MeterSession> session;
    std::unique_ptr<PtyPair> meter;
    QString com1; // the device COM1 finds

    void makeSession(quint16 receivePollMs = 50, std::unique_ptr<SerialBackend> line = nullptr,
                     const MeterProfile& model = MeterProfile::standard()) {
        session.reset();
        auto setup = MeterSession::Setup::forProcess(model);
        setup.line = std::move(line);
        setup.clock = [this] { return nowMs; };
        setup.environment = [this](const QString& variable) {
            return variable == QLatin1String("VELMAR_COM1") ? com1 : QString();
        };
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

    [[nodiscard]] QString linkPath() const { return dir.filePath("ttyMeter"); }

    // COM1 is a symbolic link to a pseudo-terminal, as udev names an adapter.
    void connectToMeter() {
        meter = std::make_unique<PtyPair>();
        QVERIFY(meter->ok());
        QFile::remove(linkPath());
        QVERIFY(QFile::link(meter->slavePath(), linkPath()));
        com1 = linkPath();
        QVERIFY(session->choosePort(1));
        QVERIFY2(session->connectLine(), qPrintable(session->port().lastOpenError().describe()));
    }

    // One arrival: the meter sends, the next poll of the port collects it.
    void meterSends(const QByteArray& data) {
        meter->send(data);
        QVERIFY(meter->waitForSlaveBytes(int(data.size())));
        session->port().ReceivePoll();
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
    void cleanup() {
        session.reset();
        meter.reset();
        QFile::remove(linkPath());
        com1.clear();
    }

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
    // each once; for an FS9721 meter, which sends by itself about every 500 ms and is ticked every
    // 250 ms, it stays on through a gap and a late poll (one frame there lost a byte: dropped and
    // counted, never decoded) and goes off on the fourth tick, within a second.
    void theLinkIsSaidOnlyWhenItChanges_data() {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QByteArray>("cut"); // sent before the second frame
        QTest::addColumn<int>("gapTicks");
        QTest::addColumn<int>("lostTicks");
        QTest::newRow("VelmarD") << "VelmarD" << bytes(kElevenVolts) << QByteArray() << 0 << 3;
        QTest::newRow("fs9721") << "fs9721" << bytes("1728354d5b617f8297a0b0c0d4e0")
                                << bytes("1728354d5b") << 3 << 4;
    }

    void theLinkIsSaidOnlyWhenItChanges() {
        QFETCH(QString, model);
        QFETCH(QByteArray, frame);
        QFETCH(QByteArray, cut);
        QFETCH(int, gapTicks);
        QFETCH(int, lostTicks);
        makeSession(50, nullptr, *MeterProfile::named(model));
        QSignalSpy link(session.get(), &MeterSession::linkChanged);
        QSignalSpy frames(session.get(), &MeterSession::mainFrame);
        for (const QByteArray& sent : {frame, cut + frame}) {
            feed(sent);
            for (int tick = 0; tick < gapTicks; ++tick)
                session->linkTick();
        }
        for (int tick = 0; tick < lostTicks - gapTicks; ++tick)
            session->linkTick();
        QCOMPARE(link.size(), 2);
        QCOMPARE(link.at(0).first().toBool(), true);
        QCOMPARE(link.at(1).first().toBool(), false);
        QCOMPARE(frames.size(), 2);
        QCOMPARE(session->linkHealth().staleLines(), cut.isEmpty() ? 0u : 1u);
    }

    // Fifteen ticks of 100 ms are three cycles of five steps: 12 requests, each cycle ending in a
    // pause; the answers are cut into frames across the port's polls, traced and decoded. With a
    // capturing line (--capture) what crosses it in either direction is written as it goes.
    void requestsGoOutInTheirCycleAndAnswersComeBackThroughACapturingLine() {
        const QString path = dir.filePath("session.cap");
        std::string error;
        std::shared_ptr<CaptureWriter> capture = CaptureWriter::open(path.toStdString(), error);
        QVERIFY2(capture, error.c_str());
        makeSession(50, std::make_unique<CapturingSerialBackend>(
                            std::make_unique<PosixSerialBackend>(), capture));
        connectToMeter();
        QByteArray got;
        for (int tick = 0; tick < 15; ++tick) {
            session->requestTick();
            got += meter->receive();
        }
        QCOMPARE(got, bytes("8A8A8A89").repeated(3));
        // The answers arrive over two polls of the port, cut across a frame.
        QSignalSpy link(session.get(), &MeterSession::linkChanged);
        const QByteArray answers = bytes("89700800000F010203040A8A123456789A0A");
        meterSends(answers.left(7));
        meterSends(answers.mid(7));
        QCOMPARE(session->trace().size(), std::size_t(2));
        QCOMPARE(session->trace().line(0), QString("89700800000F010203040A"));
        QCOMPARE(session->trace().line(1), QString("8A123456789A0A"));
        QCOMPARE(session->reading().ReadingText, QString("012.34"));
        QCOMPARE(session->mltDigits(), QString("9A784"));
        QCOMPARE(link.size(), 1);
        session->disconnectLine();

        std::ifstream in(path.toStdString());
        CaptureReader reader(in);
        QByteArray sent;
        QByteArray received;
        while (const std::optional<CaptureEvent> event = reader.next()) {
            const QByteArray data(reinterpret_cast<const char*>(event->bytes.data()),
                                  qsizetype(event->bytes.size()));
            (event->direction == CaptureDirection::Sent ? sent : received) += data;
        }
        QCOMPARE(reader.problemCount(), 0);
        QCOMPARE(sent, got);
        QCOMPARE(received, answers);
    }

    // A meter that stops reading: the session must never wait for room (the clock under the port
    // counts every wait), a request that finds no room is skipped, and a key code is kept and
    // sent at the next tick, before that tick's request.
    void aFullOutputQueueNeverWaitsAndKeepsKeyCodes() {
        auto* clock = new SteppedClockBackend;
        QVERIFY(session->port().replaceBackend(std::unique_ptr<SerialBackend>(clock)));
        connectToMeter();
        meter->fillSlaveQueue();

        session->requestTick(); // 0x8A finds no room
        session->write(0xA5);   // the HOLD key: no room either
        QCOMPARE(clock->waits(), 0);
        QCOMPARE(session->linkHealth().requestsSkipped(), 1u);

        (void)meter->receive(); // the meter reads again
        QVERIFY(meter->waitForSlaveWritable());
        session->requestTick();
        QVERIFY(meter->receive().endsWith(bytes("A58A")));
        QCOMPARE(clock->waits(), 0);
        QCOMPARE(session->linkHealth().requestsSent(), 1u);
    }

    // The adapter is pulled (its pseudo-terminal hangs up and its path vanishes) and plugged in
    // again, leading to another pseudo-terminal: said once each way, traced with the device, and
    // the line reopened by the watcher, unless Disconnect came meanwhile.
    void aDeviceThatGoesAwayIsSaidOnceAndReconnectedUnlessDisconnected_data() {
        QTest::addColumn<bool>("disconnectMeanwhile");
        QTest::newRow("reconnects by itself") << false;
        QTest::newRow("Disconnect pressed meanwhile") << true;
    }

    void aDeviceThatGoesAwayIsSaidOnceAndReconnectedUnlessDisconnected() {
        QFETCH(bool, disconnectMeanwhile);
        connectToMeter();
        QSignalSpy gone(session.get(), &MeterSession::deviceGone);
        QSignalSpy back(session.get(), &MeterSession::deviceBack);
        QSignalSpy link(session.get(), &MeterSession::linkChanged);
        meterSends(bytes(kElevenVolts));

        meter->closeMaster();
        QVERIFY(QFile::remove(linkPath()));
        session->port().ReceivePoll();
        session->requestTick();
        session->port().ReceivePoll();
        session->linkTick();
        session->watchTick(); // the path is not back yet
        QVERIFY(!session->port().IsConnected());
        QCOMPARE(gone.size(), 1);
        QCOMPARE(gone[0][0].toString(), QString("COM1"));
        QCOMPARE(gone[0][1].toString(), linkPath());
        QCOMPARE(link.size(), 2);
        QCOMPARE(link[1][0].toBool(), false);
        QVERIFY(traceHolds("# gone COM1 " + linkPath()));
        QVERIFY(session->inUse()); // so that Disconnect can end the wait
        if (disconnectMeanwhile)
            session->disconnectLine();

        PtyPair replugged;
        QVERIFY(replugged.ok());
        QVERIFY(QFile::link(replugged.slavePath(), linkPath()));
        session->watchTick();

        if (disconnectMeanwhile) {
            QVERIFY(!session->port().IsConnected());
            QVERIFY(!session->inUse());
            QCOMPARE(back.size(), 0);
            QCOMPARE(session->linkHealth().reconnects(), 0u);
            QVERIFY(session->connectLine()); // Connect still works, on the new device
            return;
        }
        QVERIFY(session->port().IsConnected());
        QCOMPARE(back.size(), 1);
        QCOMPARE(session->linkHealth().reconnects(), 1u);
        QVERIFY(traceHolds("# back COM1 " + linkPath()));
        session->requestTick();
        QCOMPARE(replugged.receive(), bytes("8A"));
        replugged.send(bytes("89700800000F010101020A"));
        QVERIFY(replugged.waitForSlaveBytes(11));
        session->port().ReceivePoll();
        QCOMPARE(session->reading().ReadingText, QString("011.12"));
        QCOMPARE(link.size(), 3);
        QCOMPARE(gone.size(), 1);
        // Disconnect and Connect still work after the reconnection.
        session->disconnectLine();
        QVERIFY(!session->port().IsConnected());
        QVERIFY(session->connectLine());
    }

    // The counts since Connect, as the link picture's hint gives them and as the trace keeps them
    // every minute and at Disconnect, on lines that cannot be read as frames; nothing is summed
    // up while the line is not in use.
    void linkHealthIsSummedUpInTheTraceOnlyWhileInUse() {
        (void)session->healthSummary();
        QVERIFY(session->trace().empty());
        connectToMeter();
        session->requestTick();
        session->requestTick();
        meterSends(bytes(kElevenVolts));
        meterSends(bytes("8A00000008050A"));
        meterSends(bytes("897008000F010101010A"));
        nowMs += 700;
        const QString described = session->linkHealth().describe(nowMs);
        for (const char* figure :
             {"Requests: 2 sent, 0 skipped", "Frames: 1 main display, 1 bar graph",
              "0 stale, 1 too short, 0 unknown", "Reconnects: 0", "main-display frames: 0.7 s"})
            QVERIFY2(described.contains(figure), qPrintable(described));

        QCOMPARE(session->healthSummary(), session->linkHealth().summaryLine(nowMs));
        QCOMPARE(session->trace().last(), session->linkHealth().summaryLine(nowMs));
        QVERIFY(session->trace().last().startsWith("# link health: requests 2 sent"));
        QVERIFY(LinkHealth::isNote(session->trace().last()));
        const std::size_t lines = session->trace().size();
        session->disconnectLine();
        QCOMPARE(session->trace().size(), lines + 1);
        QVERIFY(session->trace().last().startsWith("# link health:"));
        (void)session->healthSummary();
        QCOMPARE(session->trace().size(), lines + 1);
    }

    // A meter that does not answer (switched off, wrong port) is silent after more than 3 s, said
    // once, and answers again with its next frame; a line not in use is never silent.
    void aSilentMeterIsSaidOnceAfterThreeSeconds() {
        QSignalSpy began(session.get(), &MeterSession::silenceBegan);
        QSignalSpy ended(session.get(), &MeterSession::silenceEnded);
        nowMs += 10'000;
        session->linkTick();
        QCOMPARE(began.size(), 0);

        connectToMeter();
        nowMs += MeterProfile::standard().silentAfterMs;
        session->linkTick();
        QCOMPARE(began.size(), 0);
        nowMs += 100;
        session->linkTick();
        session->linkTick();
        QCOMPARE(began.size(), 1);
        QCOMPARE(began[0][0].toLongLong(), MeterProfile::standard().silentAfterMs + 100);
        QVERIFY(session->isSilent());
        meterSends(bytes(kElevenVolts));
        session->linkTick();
        QCOMPARE(ended.size(), 1);
        QVERIFY(!session->isSilent());

        nowMs += 5000;
        session->linkTick();
        QCOMPARE(began.size(), 2);
        session->disconnectLine(); // ends what it said
        QCOMPARE(ended.size(), 2);
        nowMs += 5000;
        session->linkTick();
        QCOMPARE(began.size(), 2);
    }
};

QTEST_GUILESS_MAIN(SessionLinkTest)
#include "tst_sessionlink.moc"
