#include "../support/PtyPair.h"
#include "DeviceWatcher.h"
#include "TCommPortDriver.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// An adapter that goes away and comes back: a pseudo-terminal whose master closes, and a device
// path (a symbolic link) that vanishes and returns. The poll is driven by calling its handler.
class LinkRecoveryTest : public QObject {
    Q_OBJECT

    std::unique_ptr<PtyPair> m_meter;
    QTemporaryDir m_dir;

    [[nodiscard]] QString linkPath() const { return m_dir.filePath("ttyMeter"); }

private slots:
    void init() {
        QVERIFY(m_dir.isValid());
        m_meter = std::make_unique<PtyPair>();
        QVERIFY(m_meter->ok());
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

        // Reads on a hung-up line return nothing, as on a quiet one: the look that comes within
        // the next ticks notices it, once.
        m_meter->closeMaster();
        for (int tick = 0; tick < 2 * TCommPortDriver::kTicksPerDeviceLook; ++tick)
            port.ReceivePoll();
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
        for (int tick = 0; tick < 3; ++tick)
            port.ReceivePoll(); // the first look is past: the next comes some ticks later
        QVERIFY(QFile::remove(linkPath()));
        for (int tick = 0; tick < TCommPortDriver::kTicksPerDeviceLook; ++tick)
            port.ReceivePoll();
        QCOMPARE(gone.size(), 1);
        QVERIFY(!port.IsConnected());
    }

    void aWriteToAHungUpLineClosesThePortToo() {
        TCommPortDriver port;
        port.setComPort(pnCOM1);
        QSignalSpy gone(&port, &TCommPortDriver::deviceGone);
        QVERIFY(port.Connect());
        m_meter->closeMaster();
        QCOMPARE(port.TrySendBytes("\x89", 1), -1);
        QCOMPARE(gone.size(), 1);
        QCOMPARE(port.awaitedDevice(), linkPath());
        QCOMPARE(port.SendBytes("\x89", 1), 0);
        QCOMPARE(gone.size(), 1);
    }

    void bytesThatArrivedBeforeThePathVanishedAreStillDelivered() {
        TCommPortDriver port;
        port.setComPort(pnCOM1);
        QByteArray received;
        port.setOnReceiveData([&received](TCommPortDriver*, const std::uint8_t* data, qint32 n) {
            received.append(reinterpret_cast<const char*>(data), n);
        });
        QVERIFY(port.Connect());
        m_meter->send("\x89\x70\x0A");
        QVERIFY(m_meter->waitForSlaveInput(1000));
        QVERIFY(QFile::remove(linkPath()));
        port.ReceivePoll();
        QCOMPARE(received, QByteArray("\x89\x70\x0A"));
        QVERIFY(!port.IsConnected());
    }

    // The adapter comes back at the same path, now leading to another pseudo-terminal.
    void theWatcherReconnectsWhenThePathReturns() {
        TCommPortDriver port;
        port.setComPort(pnCOM1);
        DeviceWatcher watcher(port);
        QSignalSpy back(&port, &TCommPortDriver::deviceBack);
        QByteArray received;
        port.setOnReceiveData([&received](TCommPortDriver*, const std::uint8_t* data, qint32 n) {
            received.append(reinterpret_cast<const char*>(data), n);
        });
        QVERIFY(port.Connect());
        m_meter->closeMaster();
        QVERIFY(QFile::remove(linkPath()));
        port.ReceivePoll();
        QVERIFY(watcher.watching());

        watcher.check();
        QVERIFY(!port.IsConnected());
        QVERIFY(watcher.watching());

        PtyPair replugged;
        QVERIFY(replugged.ok());
        QVERIFY(QFile::link(replugged.slavePath(), linkPath()));
        watcher.check();
        QVERIFY(port.IsConnected());
        QVERIFY(!watcher.watching());
        QCOMPARE(back.size(), 1);
        QCOMPARE(back[0][0].toString(), QString("COM1"));
        QCOMPARE(back[0][1].toString(), linkPath());
        QVERIFY(port.awaitedDevice().isEmpty());

        replugged.send("\x8A\x0A");
        port.ReceivePoll();
        QCOMPARE(received, QByteArray("\x8A\x0A"));
        QCOMPARE(port.TrySendBytes("\x89", 1), 1);
        QCOMPARE(replugged.receive(), QByteArray("\x89"));
    }

    void disconnectWhileWaitingStopsTheWatch() {
        TCommPortDriver port;
        port.setComPort(pnCOM1);
        DeviceWatcher watcher(port);
        QSignalSpy back(&port, &TCommPortDriver::deviceBack);
        QVERIFY(port.Connect());
        QVERIFY(QFile::remove(linkPath()));
        port.ReceivePoll();
        QVERIFY(watcher.watching());

        port.Disconnect();
        QVERIFY(QFile::link(m_meter->slavePath(), linkPath()));
        watcher.check();
        QVERIFY(!port.IsConnected());
        QVERIFY(!watcher.watching());
        QVERIFY(!port.Reconnect());
        QCOMPARE(back.size(), 0);
    }

    // Present but not openable yet (held by another program): tried again at the next look.
    void aPathThatCannotBeOpenedYetIsTriedAgain() {
        TCommPortDriver port;
        port.setComPort(pnCOM1);
        DeviceWatcher watcher(port);
        QVERIFY(port.Connect());
        QVERIFY(QFile::remove(linkPath()));
        port.ReceivePoll();

        TCommPortDriver other;
        other.setComPort(pnCOM1);
        QVERIFY(QFile::link(m_meter->slavePath(), linkPath()));
        QVERIFY(other.Connect());
        watcher.check();
        QVERIFY(!port.IsConnected());
        QVERIFY(watcher.watching());
        other.Disconnect();
        watcher.check();
        QVERIFY(port.IsConnected());
    }

    void aHealthyLineIsNeverTakenForGone() {
        TCommPortDriver port;
        port.setComPort(pnCOM1);
        QSignalSpy gone(&port, &TCommPortDriver::deviceGone);
        QVERIFY(port.Connect());
        for (int tick = 0; tick < 3 * TCommPortDriver::kTicksPerDeviceLook; ++tick) {
            m_meter->send("\x89\x0A");
            port.ReceivePoll();
            QCOMPARE(port.TrySendBytes("\x8A", 1), 1);
        }
        QCOMPARE(gone.size(), 0);
        QVERIFY(port.IsConnected());
        QCOMPARE(port.openDevice(), linkPath());
    }
};

QTEST_GUILESS_MAIN(LinkRecoveryTest)
#include "tst_linkrecovery.moc"
