#include "LinkPty.h"
#include "link/TCommPortDriver.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// An adapter that goes away and comes back: a pseudo-terminal whose master closes, and a device
// path (a symbolic link) that vanishes and returns. The poll is driven by calling its handler.
class LinkRecoveryTest : public QObject {
    Q_OBJECT

    std::unique_ptr<LinkPty> m_meter;
    QTemporaryDir m_dir;

    [[nodiscard]] QString linkPath() const { return m_dir.filePath("ttyMeter"); }

private slots:
    void init() {
        QVERIFY(m_dir.isValid());
        m_meter = std::make_unique<LinkPty>();
        QVERIFY(m_meter->isReady());
        QFile::remove(linkPath());
        QVERIFY(QFile::link(m_meter->slavePath(), linkPath()));
        qputenv("VELMAR_COM1", linkPath().toLocal8Bit());
    }

    void cleanup() {
        qunsetenv("VELMAR_COM1");
        m_meter.reset();
    }

    void aHungUpLineClosesThePortOnceAndSaysWhichDevice() {
        TCommPortDriver port;
        port.setComPort(pnCOM1);
        QSignalSpy gone(&port, &TCommPortDriver::deviceGone);
        QVERIFY(port.Connect());
        port.ReceivePoll();
        QCOMPARE(gone.size(), 0);

        m_meter->unplug();
        port.ReceivePoll();
        port.ReceivePoll();
        QEXPECT_FAIL("", "a hung-up line is polled for ever", Abort);
        QCOMPARE(gone.size(), 1);
        QCOMPARE(gone[0][0].toString(), QString("COM1"));
        QCOMPARE(gone[0][1].toString(), linkPath());
        QVERIFY(!port.IsConnected());
    }

    void aVanishedDevicePathClosesThePort() {
        TCommPortDriver port;
        port.setComPort(pnCOM1);
        QSignalSpy gone(&port, &TCommPortDriver::deviceGone);
        QVERIFY(port.Connect());
        QVERIFY(QFile::remove(linkPath()));
        port.ReceivePoll();
        QEXPECT_FAIL("", "a vanished device is polled for ever", Abort);
        QCOMPARE(gone.size(), 1);
        QVERIFY(!port.IsConnected());
    }
};

QTEST_GUILESS_MAIN(LinkRecoveryTest)
#include "tst_linkrecovery.moc"
