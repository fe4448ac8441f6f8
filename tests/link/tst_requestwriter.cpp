#include "../support/PtyPair.h"
#include "../support/SteppedClockBackend.h"
#include "LinkHealth.h"
#include "RequestWriter.h"
#include "TCommPortDriver.h"

#include <QTest>

namespace {

// A line whose room the test decides: each write takes the byte while room lasts.
struct FakeLine {
    int room = 0;
    bool open = true;
    QByteArray written;

    RequestWriter::TryWrite tryWrite() {
        return [this](std::uint8_t byte) -> qint32 {
            if (!open)
                return -1;
            if (room == 0)
                return 0;
            --room;
            written.append(char(byte));
            return 1;
        };
    }
};

} // namespace

// The request and key writes, over a line the test controls and over a pseudo-terminal whose far
// end has stopped reading.
class RequestWriterTest : public QObject {
    Q_OBJECT

    std::unique_ptr<PtyPair> m_meter;

private slots:
    void requestsAreSkippedAndCountedWhileTheLineIsFull() {
        FakeLine line;
        LinkHealth health;
        RequestWriter writer(line.tryWrite(), &health);
        QCOMPARE(writer.write(0x8A), RequestWriter::Outcome::Skipped);
        QCOMPARE(writer.write(0x89), RequestWriter::Outcome::Skipped);
        line.room = 1;
        QCOMPARE(writer.write(0x8A), RequestWriter::Outcome::Sent);
        QCOMPARE(health.requestsSkipped(), 2u);
        QCOMPARE(health.requestsSent(), 1u);
        QCOMPARE(line.written, QByteArray("\x8A"));
        QCOMPARE(writer.keysWaiting(), 0u);
    }

    void keyCodesWaitInOrderAndGoBeforeTheNextRequest() {
        FakeLine line;
        LinkHealth health;
        RequestWriter writer(line.tryWrite(), &health);
        QCOMPARE(writer.write(0xA1), RequestWriter::Outcome::Kept);
        QCOMPARE(writer.write(0xA4), RequestWriter::Outcome::Kept);
        writer.flushKeys(); // a tick with no room keeps them
        QCOMPARE(writer.keysWaiting(), 2u);

        line.room = 2;
        // Room for one more key between ticks: it must not overtake the kept ones.
        QCOMPARE(writer.write(0xA7), RequestWriter::Outcome::Kept);
        QCOMPARE(line.written, QByteArray("\xA1\xA4"));
        line.room = 2;
        writer.flushKeys();
        QCOMPARE(writer.write(0x89), RequestWriter::Outcome::Sent);
        QCOMPARE(line.written, QByteArray("\xA1\xA4\xA7\x89"));
        QCOMPARE(writer.keysWaiting(), 0u);
        QCOMPARE(health.requestsSkipped(), 0u);
    }

    // A closed port sends nothing, as it always did; kept key codes are not sent to a later line.
    void aClosedPortSendsNothingAndForgetsKeptKeys() {
        FakeLine line;
        LinkHealth health;
        RequestWriter writer(line.tryWrite(), &health);
        QCOMPARE(writer.write(0xA1), RequestWriter::Outcome::Kept);
        line.open = false;
        QCOMPARE(writer.write(0x89), RequestWriter::Outcome::NotOpen);
        writer.flushKeys();
        QCOMPARE(writer.keysWaiting(), 0u);
        QCOMPARE(writer.write(0xA3), RequestWriter::Outcome::NotOpen);
        QCOMPARE(writer.keysWaiting(), 0u);
        QCOMPARE(health.requestsSkipped() + health.requestsSent(), 0u);
        QVERIFY(line.written.isEmpty());
    }

    void init() {
        m_meter = std::make_unique<PtyPair>();
        QVERIFY(m_meter->ok());
        qputenv("VELMAR_COM1", m_meter->slavePath().toLocal8Bit());
    }

    void cleanup() {
        qunsetenv("VELMAR_COM1");
        m_meter.reset();
    }

    void tryingToSendOnAClosedPortSaysSoAndNothingIsNoWrite() {
        TCommPortDriver port;
        port.setComPort(pnCOM1);
        QCOMPARE(port.TrySendBytes("x", 1), -1);
        QVERIFY(port.Connect());
        QCOMPARE(port.TrySendBytes("x", 0), 0);
        QCOMPARE(port.TrySendBytes("xy", 2), 2);
        QCOMPARE(m_meter->receive(), QByteArray("xy"));
    }

    // With the 4 s output time-out each request used to hold the window for 4 s: the component
    // must not wait at all, which its clock, driven by the test, shows.
    void aRequestOnAFullQueueIsSkippedAtOnce() {
        auto* clock = new SteppedClockBackend;
        TCommPortDriver port{std::unique_ptr<SerialBackend>(clock)};
        port.setComPort(pnCOM1);
        QVERIFY(port.Connect());
        m_meter->fillSlaveQueue();
        RequestWriter writer(port);

        QCOMPARE(writer.write(0x89), RequestWriter::Outcome::Skipped);
        QCOMPARE(clock->waits(), 0);
        // The blocking send, by contrast, waits for room until its time-out.
        QVERIFY(port.SendBytes("\x89", 1) <= 0);
        QVERIFY(clock->waits() > 0);
    }

    void aKeyCodeOnAFullQueueIsSentWhenTheLineTakesBytesAgain() {
        TCommPortDriver port;
        port.setComPort(pnCOM1);
        QVERIFY(port.Connect());
        m_meter->fillSlaveQueue();
        RequestWriter writer(port);

        const RequestWriter::Outcome outcome = writer.write(0xA5);
        QCOMPARE(outcome, RequestWriter::Outcome::Kept);
        (void)m_meter->receive(); // the meter reads again
        QVERIFY(m_meter->waitForSlaveWritable());
        writer.flushKeys();
        QVERIFY(m_meter->receive().endsWith('\xA5'));
    }
};

QTEST_GUILESS_MAIN(RequestWriterTest)
#include "tst_requestwriter.moc"
