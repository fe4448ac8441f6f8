#include "LinkPty.h"
#include "link/RequestWriter.h"
#include "link/TCommPortDriver.h"

#include <QElapsedTimer>
#include <QTest>

// The request and key writes over a pseudo-terminal whose far end has stopped reading.
class RequestWriterTest : public QObject {
    Q_OBJECT

    std::unique_ptr<LinkPty> m_meter;

    // Fills the line's queue as a meter that stopped taking bytes leaves it.
    static void fillTheQueue(TCommPortDriver& port) {
        const QByteArray flood(1 << 20, '\x55');
        port.setOutputTimeout(20);
        QVERIFY(port.SendBytes(flood.constData(), flood.size()) < 0);
        port.setOutputTimeout(4000);
    }

private slots:
    void init() {
        m_meter = std::make_unique<LinkPty>();
        QVERIFY(m_meter->isReady());
        qputenv("VELMAR_COM1", m_meter->slavePath().toLocal8Bit());
    }

    void cleanup() {
        qunsetenv("VELMAR_COM1");
        m_meter.reset();
    }

    // With the 4 s output time-out each request used to hold the window for 4 s.
    void aRequestOnAFullQueueIsSkippedAtOnce() {
        TCommPortDriver port;
        port.setComPort(pnCOM1);
        QVERIFY(port.Connect());
        fillTheQueue(port);
        port.setOutputTimeout(1000);
        RequestWriter writer(port);

        QElapsedTimer clock;
        clock.start();
        const RequestWriter::Outcome outcome = writer.write(0x89);
        const qint64 elapsed = clock.elapsed();
        QEXPECT_FAIL("", "a request waits for the output time-out", Continue);
        QCOMPARE(outcome, RequestWriter::Outcome::Skipped);
        QEXPECT_FAIL("", "a request waits for the output time-out", Continue);
        QVERIFY2(elapsed < 500, qPrintable(QString::number(elapsed)));
    }

    void aKeyCodeOnAFullQueueIsSentWhenTheLineTakesBytesAgain() {
        TCommPortDriver port;
        port.setComPort(pnCOM1);
        QVERIFY(port.Connect());
        fillTheQueue(port);
        port.setOutputTimeout(50);
        RequestWriter writer(port);

        const RequestWriter::Outcome outcome = writer.write(0xA5);
        QEXPECT_FAIL("", "a key code on a full queue is lost", Continue);
        QCOMPARE(outcome, RequestWriter::Outcome::Kept);
        (void)m_meter->receiveNow(); // the meter reads again
        writer.flushKeys();
        QEXPECT_FAIL("", "a key code on a full queue is lost", Continue);
        QVERIFY(m_meter->receiveNow().endsWith('\xA5'));
    }
};

QTEST_GUILESS_MAIN(RequestWriterTest)
#include "tst_requestwriter.moc"
