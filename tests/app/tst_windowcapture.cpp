#include "../support/PtyPair.h"
#include "RecordingMessages.h"

#include "CaptureReader.h"
#include "CapturingSerialBackend.h"
#include "PosixSerialBackend.h"
#include "TCommPortDriver.h"
#include "TFCOMM.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTimer>

#include <fstream>

// The window given a capturing line (velmar --capture) writes what crosses it, as it goes.
class WindowCaptureTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void initTestCase() { QVERIFY(QDir::setCurrent(dir.path())); }

    void requestsAndFramesGoIntoTheCaptureWhileTheWindowDecodes() {
        const QString path = dir.filePath("window.cap");
        std::string error;
        std::shared_ptr<CaptureWriter> capture = CaptureWriter::open(path.toStdString(), error);
        QVERIFY2(capture, error.c_str());
        PtyPair pty;
        QVERIFY(pty.ok());
        MeterSession::Setup setup;
        setup.line = std::make_unique<CapturingSerialBackend>(
            std::make_unique<PosixSerialBackend>(), capture);
        setup.environment = [&pty](const QString& variable) {
            return variable == "VELMAR_COM1" ? pty.slavePath() : QString();
        };
        TFCOMM window(std::make_shared<RecordingMessages>(), nullptr, std::move(setup));
        window.findChild<QTimer*>(QStringLiteral("Timer1"))->stop();
        window.findChild<QTimer*>(QStringLiteral("ConTimer"))->stop();
        window.BTCon1Click();
        QVERIFY(window.session().port().IsConnected());
        for (int tick = 0; tick < 4; ++tick)
            window.Timer1Timer(); // 8A, 8A, 8A, 89
        QCOMPARE(pty.receive(), QByteArray::fromHex("8A8A8A89"));
        pty.send(QByteArray::fromHex("89700800000F010203040A"));
        QVERIFY(pty.waitForSlaveInput(5000));
        window.session().port().ReceivePoll();
        QCOMPARE(window.session().frameHex(), QString("89700800000F010203040A"));
        window.BtDiscon1Click();
        qunsetenv("VELMAR_COM1");

        std::ifstream in(path.toStdString());
        CaptureReader reader(in);
        QByteArray sent;
        QByteArray received;
        while (const std::optional<CaptureEvent> event = reader.next()) {
            const QByteArray bytes(reinterpret_cast<const char*>(event->bytes.data()),
                                   qsizetype(event->bytes.size()));
            (event->direction == CaptureDirection::Sent ? sent : received) += bytes;
        }
        QCOMPARE(reader.problemCount(), 0);
        QCOMPARE(sent.toHex().toUpper(), QByteArray("8A8A8A89"));
        QCOMPARE(received.toHex().toUpper(), QByteArray("89700800000F010203040A"));
    }
};

QTEST_MAIN(WindowCaptureTest)
#include "tst_windowcapture.moc"
