#include "../support/PtyPair.h"
#include "../support/SteppedClockBackend.h"
#include "RecordingMessages.h"

#include "BarGraphView.h"
#include "BevelPanel.h"
#include "LcdPanel.h"
#include "ReadingsTable.h"
#include "ReadingsTableModel.h"
#include "StatusPlace.h"
#include "TCommPortDriver.h"
#include "TFCOMM.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QHelpEvent>
#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

namespace {

QByteArray bytes(const char* hex) {
    return QByteArray::fromHex(hex);
}

// The meter's answer for 11.11 V on the 80 V range.
const char* const kElevenVolts = "89700800000F010101010A";

} // namespace

// The window on a line that misbehaves, where what it shows matters: a meter that stops reading,
// an adapter unplugged and plugged in again, a meter that stops answering. The session's own
// handling of bad lines is tested in tst_sessionlink. The meter is a pseudo-terminal, the
// poll and every timer are driven by calling their handlers, and time is the test's own clock.
class LinkWindowTest : public QObject {
    Q_OBJECT

    std::shared_ptr<RecordingMessages> messages;
    std::unique_ptr<TFCOMM> window;
    std::unique_ptr<PtyPair> pty;
    QTemporaryDir dir; // the table of readings lives in the current folder
    qint64 nowMs = 0;

    [[nodiscard]] QString linkPath() const { return dir.filePath("ttyMeter"); }

    // COM1 is a symbolic link to the pseudo-terminal, as udev names an adapter.
    void connectThroughLink() {
        pty = std::make_unique<PtyPair>();
        QVERIFY(pty->ok());
        QFile::remove(linkPath());
        QVERIFY(QFile::link(pty->slavePath(), linkPath()));
        qputenv("VELMAR_COM1", linkPath().toLocal8Bit());
        window->BTCon1Click();
        QVERIFY(window->session().port().IsConnected());
    }

    // One arrival: the meter sends, the next poll of the port collects it.
    void meterSends(const QByteArray& data) {
        pty->send(data);
        QVERIFY(pty->waitForSlaveBytes(int(data.size())));
        window->session().port().ReceivePoll();
    }

    [[nodiscard]] bool linkShown() const {
        return window->findChild<QLabel*>(QStringLiteral("CONok"))->isVisibleTo(window.get());
    }
    // The hint a picture shows when the user points at it.
    [[nodiscard]] static QString hintOf(QLabel* picture) {
        QHelpEvent pointedAt(QEvent::ToolTip, QPoint(1, 1), picture->mapToGlobal(QPoint(1, 1)));
        QCoreApplication::sendEvent(picture, &pointedAt);
        return picture->toolTip();
    }
    [[nodiscard]] bool brokenLinkShown() const {
        return window->findChild<QLabel*>(QStringLiteral("CONokN"))->isVisibleTo(window.get()) &&
               !linkShown();
    }
    [[nodiscard]] bool traceHolds(const QString& prefix) const {
        for (std::size_t i = 0; i < window->session().trace().size(); ++i) {
            if (window->session().trace().line(i).startsWith(prefix))
                return true;
        }
        return false;
    }

private slots:
    void initTestCase() { QVERIFY(QDir::setCurrent(dir.path())); }

    void init() {
        QFile::remove("Velmarbdb.DB");
        messages = std::make_shared<RecordingMessages>();
        window = std::make_unique<TFCOMM>(messages);
        for (QTimer* timer : {window->findChild<QTimer*>(QStringLiteral("Timer1")),
                              window->findChild<QTimer*>(QStringLiteral("ConTimer")),
                              window->findChild<QTimer*>(QStringLiteral("Trecord"))})
            timer->stop();
        nowMs = 50'000;
        window->setLinkClock([this] { return nowMs; });
    }

    void cleanup() {
        window.reset();
        pty.reset();
        QFile::remove(linkPath());
        qunsetenv("VELMAR_COM1");
    }

    // A meter that stops reading: the window must never wait for room (the clock under the port
    // counts every wait), a request that finds no room is skipped, and a key code is kept and
    // sent at the next tick, before that tick's request.
    void aFullOutputQueueNeverHoldsTheWindowAndKeepsKeyCodes() {
        auto* clock = new SteppedClockBackend;
        QVERIFY(window->session().port().replaceBackend(std::unique_ptr<SerialBackend>(clock)));
        connectThroughLink();
        pty->fillSlaveQueue();

        window->Timer1Timer(); // 0x8A finds no room
        QTest::mousePress(window->findChild<BevelPanel*>(QStringLiteral("BtHold")), Qt::LeftButton);
        QTest::mouseRelease(window->findChild<BevelPanel*>(QStringLiteral("BtHold")),
                            Qt::LeftButton); // 0xA5 finds no room
        QCOMPARE(clock->waits(), 0);
        QCOMPARE(window->session().linkHealth().requestsSkipped(), 1u);

        (void)pty->receive(); // the meter reads again
        QVERIFY(pty->waitForSlaveWritable());
        window->Timer1Timer();
        QVERIFY(pty->receive().endsWith(bytes("A58A")));
        QCOMPARE(clock->waits(), 0);
        QCOMPARE(window->session().linkHealth().requestsSent(), 1u);
    }

    // The adapter is pulled: its pseudo-terminal's master side closes.
    void aHungUpLineClosesThePortOnceAndSaysWhichDevice() {
        connectThroughLink();
        QSignalSpy gone(&window->session().port(), &TCommPortDriver::deviceGone);
        meterSends(bytes(kElevenVolts));
        QVERIFY(linkShown());

        pty->closeMaster();
        window->session().port().ReceivePoll();
        window->Timer1Timer();
        window->session().port().ReceivePoll();
        window->ConTimerTimer();

        QCOMPARE(gone.size(), 1);
        QVERIFY(!window->session().port().IsConnected());
        QVERIFY(brokenLinkShown());
        const QString status = window->statusPlace()->currentText();
        QVERIFY2(status.contains("COM1") && status.contains(linkPath()) &&
                     status.contains("gone; waiting for it to come back"),
                 qPrintable(status));
        QVERIFY(traceHolds("# gone COM1 " + linkPath()));
        QVERIFY(messages->errors.isEmpty());
        // The screen stays connected while it waits, so that Disconnect can end the wait.
        QVERIFY(
            window->findChild<BevelPanel*>(QStringLiteral("BtDiscon"))->isVisibleTo(window.get()));
        window->BtDiscon1Click();
        QVERIFY(window->statusPlace()->currentText().isEmpty());
        QVERIFY(window->findChild<BevelPanel*>(QStringLiteral("BTCon"))->isVisibleTo(window.get()));
    }

    // The adapter's path vanishes and comes back leading to another pseudo-terminal.
    void aVanishedDevicePathIsReconnectedUnlessDisconnected_data() {
        QTest::addColumn<bool>("disconnectMeanwhile");
        QTest::newRow("reconnects by itself") << false;
        QTest::newRow("Disconnect pressed meanwhile") << true;
    }

    void aVanishedDevicePathIsReconnectedUnlessDisconnected() {
        QFETCH(bool, disconnectMeanwhile);
        connectThroughLink();
        pty->closeMaster();
        QVERIFY(QFile::remove(linkPath()));
        window->session().port().ReceivePoll();
        QVERIFY(!window->session().port().IsConnected());
        window->LinkWatchTimer(); // the path is not back yet
        QVERIFY(!window->session().port().IsConnected());
        if (disconnectMeanwhile)
            window->BtDiscon1Click();

        PtyPair replugged;
        QVERIFY(replugged.ok());
        QVERIFY(QFile::link(replugged.slavePath(), linkPath()));
        window->LinkWatchTimer();

        if (disconnectMeanwhile) {
            QVERIFY(!window->session().port().IsConnected());
            QCOMPARE(window->session().linkHealth().reconnects(), 0u);
            QVERIFY(
                window->findChild<BevelPanel*>(QStringLiteral("BTCon"))->isVisibleTo(window.get()));
            // Connect still works, on the new device.
            window->BTCon1Click();
            QVERIFY(window->session().port().IsConnected());
            return;
        }
        QVERIFY(window->session().port().IsConnected());
        QCOMPARE(window->session().linkHealth().reconnects(), 1u);
        QVERIFY(traceHolds("# back COM1 " + linkPath()));
        const QString status = window->statusPlace()->currentText();
        QVERIFY2(status.startsWith("COM1 (" + linkPath() + ") back at ") &&
                     status.endsWith("; reconnects: 1"),
                 qPrintable(status));
        window->Timer1Timer();
        QCOMPARE(replugged.receive(), bytes("8A"));
        replugged.send(bytes(kElevenVolts));
        QVERIFY(replugged.waitForSlaveBytes(11));
        window->session().port().ReceivePoll();
        QVERIFY(linkShown());
        QCOMPARE(window->session().reading().ReadingText, QString("011.11"));
        // Disconnect and Connect still work after the reconnection.
        window->BtDiscon1Click();
        QVERIFY(!window->session().port().IsConnected());
        window->BTCon1Click();
        QVERIFY(window->session().port().IsConnected());
    }

    // The counts since Connect are in the link picture's hint, and in the trace every minute and
    // at Disconnect, on lines that cannot be read as frames.
    void linkHealthShowsInTheHintAndGoesIntoTheTrace() {
        QVERIFY(window->findChild<QTimer*>(QStringLiteral("HealthTimer"))->isActive());
        QCOMPARE(window->findChild<QTimer*>(QStringLiteral("HealthTimer"))->interval(), 60'000);
        window->HealthTimerTimer();
        QVERIFY(window->session().trace().empty()); // nothing to sum up before Connect
        connectThroughLink();
        window->Timer1Timer();
        window->Timer1Timer();
        meterSends(bytes(kElevenVolts));
        meterSends(bytes("8A00000008050A"));
        meterSends(bytes("897008000F010101010A"));
        nowMs += 700;
        window->ConTimerTimer();

        for (QLabel* picture : {window->findChild<QLabel*>(QStringLiteral("CONok")),
                                window->findChild<QLabel*>(QStringLiteral("CONokN"))}) {
            const QString hint = hintOf(picture);
            for (const char* figure :
                 {"Requests: 2 sent, 0 skipped", "Frames: 1 main display, 1 bar graph",
                  "0 stale, 1 too short, 0 unknown", "Reconnects: 0", "main-display frames: 0.7 s"})
                QVERIFY2(hint.contains(figure), qPrintable(hint));
        }
        window->HealthTimerTimer();
        QCOMPARE(window->session().trace().last(),
                 window->session().linkHealth().summaryLine(nowMs));
        QVERIFY(window->session().trace().last().startsWith("# link health: requests 2 sent"));
        const std::size_t lines = window->session().trace().size();
        window->BtDiscon1Click();
        QCOMPARE(window->session().trace().size(), lines + 1);
        QVERIFY(window->session().trace().last().startsWith("# link health:"));
        window->HealthTimerTimer();
        QCOMPARE(window->session().trace().size(), lines + 1);
        window->ConTimerTimer();
        QCOMPARE(window->findChild<QLabel*>(QStringLiteral("CONokN"))->toolTip(),
                 QString("Not connected"));
        QCOMPARE(hintOf(window->findChild<QLabel*>(QStringLiteral("CONokN"))),
                 QString("Not connected"));
    }

    // A meter that does not answer (switched off, wrong port) is said once, and the saying goes
    // when frames come again.
    void aSilentMeterIsSaidInTheStatusPlace() {
        connectThroughLink();
        nowMs += 3000;
        window->ConTimerTimer();
        QVERIFY(window->statusPlace()->currentText().isEmpty());
        nowMs += 100;
        window->ConTimerTimer();
        const QString status = window->statusPlace()->currentText();
        QVERIFY2(status.startsWith("COM1 (" + linkPath() + "): no answer since"),
                 qPrintable(status));
        meterSends(bytes(kElevenVolts));
        window->ConTimerTimer();
        QVERIFY(window->statusPlace()->currentText().isEmpty());
    }
};

QTEST_MAIN(LinkWindowTest)
#include "tst_linkwindow.moc"
