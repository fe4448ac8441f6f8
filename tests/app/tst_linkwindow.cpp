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

// The window on a line that misbehaves: a meter switched off mid-frame, lost bytes, a meter that
// stops reading, an adapter unplugged and plugged in again. The meter is a pseudo-terminal, the
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
        QVERIFY(window->COMM2->IsConnected());
    }

    // One arrival: the meter sends, the next poll of the port collects it.
    void meterSends(const QByteArray& data) {
        pty->send(data);
        QVERIFY(pty->waitForSlaveBytes(int(data.size())));
        window->COMM2->ReceivePoll();
    }

    void feed(const QByteArray& data) {
        window->VelmarCDRData(window->COMM2.get(),
                              reinterpret_cast<const std::uint8_t*>(data.constData()),
                              qint32(data.size()));
    }

    [[nodiscard]] bool linkShown() const { return window->CONok->isVisibleTo(window.get()); }
    // The hint a picture shows when the user points at it.
    [[nodiscard]] static QString hintOf(QLabel* picture) {
        QHelpEvent pointedAt(QEvent::ToolTip, QPoint(1, 1), picture->mapToGlobal(QPoint(1, 1)));
        QCoreApplication::sendEvent(picture, &pointedAt);
        return picture->toolTip();
    }
    [[nodiscard]] bool brokenLinkShown() const {
        return window->CONokN->isVisibleTo(window.get()) && !linkShown();
    }
    [[nodiscard]] QString recordedValue(int row) const {
        return window->Data1->data(window->Data1->index(row, 3), Qt::DisplayRole).toString();
    }
    [[nodiscard]] bool traceHolds(const QString& prefix) const {
        for (std::size_t i = 0; i < window->Memo1.size(); ++i) {
            if (window->Memo1.line(i).startsWith(prefix))
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
        for (QTimer* timer : {window->Timer1, window->ConTimer, window->Trecord})
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

    // A meter switched off mid-frame leaves "89 70 08" on the line; glued onto the next frame it
    // read -800.01 V with the battery symbol, shown and recorded.
    void aHalfFrameBeforeASilenceIsDroppedNotGlued_data() {
        QTest::addColumn<bool>("tickInBetween");
        QTest::newRow("dropped when the next bytes come") << false;
        QTest::newRow("dropped by the link tick during the silence") << true;
    }

    void aHalfFrameBeforeASilenceIsDroppedNotGlued() {
        QFETCH(bool, tickInBetween);
        connectThroughLink();
        meterSends(bytes("897008"));
        nowMs += 1500;
        if (tickInBetween) {
            window->ConTimerTimer();
            QVERIFY(traceHolds("# stale 897008"));
        }
        meterSends(bytes(kElevenVolts));

        QCOMPARE(window->reading.ReadingText, QString("011.11"));
        QCOMPARE(window->reading.ReadingValue, 1111.0f);
        QVERIFY(!window->Panel1->isControlVisible(LcdControl::LCDBATT));
        QCOMPARE(window->TOrlanBDB->recordCount(), 1);
        QCOMPARE(recordedValue(0), QString("011.11"));
        QVERIFY(traceHolds("# stale 897008"));
        QCOMPARE(window->Memo1.last(), QString(kElevenVolts));
        QCOMPARE(window->linkHealth.staleLines(), 1u);
        QCOMPARE(window->linkHealth.mainFrames(), 1u);
    }

    // A frame split over two polls 50 ms apart is whole, as on any healthy line.
    void aFrameSplitOverTwoPollsIsStillWhole() {
        connectThroughLink();
        meterSends(bytes("89700800000F01"));
        nowMs += 50;
        meterSends(bytes("010101010A"));
        QCOMPARE(window->reading.ReadingText, QString("011.11"));
        QCOMPARE(window->linkHealth.staleLines(), 0u);
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
        const QString barBefore = window->MltSN->text();
        const int positionBefore = window->PBar2->value();
        feed(line);

        QCOMPARE(window->Memo1.last(), QString::fromLatin1(line.toHex().toUpper()));
        QCOMPARE(window->reading.ReadingText, QString());
        QCOMPARE(window->TOrlanBDB->recordCount(), 0);
        QCOMPARE(window->MltSN->text(), barBefore);
        QCOMPARE(window->PBar2->value(), positionBefore);
        QVERIFY(!linkShown());
        QCOMPARE(window->linkHealth.shortLines(), tooShort ? 1u : 0u);
        QCOMPARE(window->linkHealth.unknownLines(), tooShort ? 0u : 1u);
        QCOMPARE(window->linkHealth.mainFrames() + window->linkHealth.barFrames(), 0u);
    }

    // A meter that stops reading: the window must never wait for room (the clock under the port
    // counts every wait), a request that finds no room is skipped, and a key code is kept and
    // sent at the next tick, before that tick's request.
    void aFullOutputQueueNeverHoldsTheWindowAndKeepsKeyCodes() {
        auto* clock = new SteppedClockBackend;
        QVERIFY(window->COMM2->replaceBackend(std::unique_ptr<SerialBackend>(clock)));
        connectThroughLink();
        pty->fillSlaveQueue();

        window->Timer1Timer(); // 0x8A finds no room
        QTest::mousePress(window->BtHold, Qt::LeftButton);
        QTest::mouseRelease(window->BtHold, Qt::LeftButton); // 0xA5 finds no room
        QCOMPARE(clock->waits(), 0);
        QCOMPARE(window->linkHealth.requestsSkipped(), 1u);

        (void)pty->receive(); // the meter reads again
        QVERIFY(pty->waitForSlaveWritable());
        window->Timer1Timer();
        QVERIFY(pty->receive().endsWith(bytes("A58A")));
        QCOMPARE(clock->waits(), 0);
        QCOMPARE(window->linkHealth.requestsSent(), 1u);
    }

    // The adapter is pulled: its pseudo-terminal's master side closes.
    void aHungUpLineClosesThePortOnceAndSaysWhichDevice() {
        connectThroughLink();
        QSignalSpy gone(window->COMM2.get(), &TCommPortDriver::deviceGone);
        meterSends(bytes(kElevenVolts));
        QVERIFY(linkShown());

        pty->closeMaster();
        window->COMM2->ReceivePoll();
        window->Timer1Timer();
        window->COMM2->ReceivePoll();
        window->ConTimerTimer();

        QCOMPARE(gone.size(), 1);
        QVERIFY(!window->COMM2->IsConnected());
        QVERIFY(brokenLinkShown());
        const QString status = window->statusPlace()->currentText();
        QVERIFY2(status.contains("COM1") && status.contains(linkPath()) &&
                     status.contains("gone; waiting for it to come back"),
                 qPrintable(status));
        QVERIFY(traceHolds("# gone COM1 " + linkPath()));
        QVERIFY(messages->errors.isEmpty());
        // The screen stays connected while it waits, so that Disconnect can end the wait.
        QVERIFY(window->BtDiscon->isVisibleTo(window.get()));
        window->BtDiscon1Click();
        QVERIFY(window->statusPlace()->currentText().isEmpty());
        QVERIFY(window->BTCon->isVisibleTo(window.get()));
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
        window->COMM2->ReceivePoll();
        QVERIFY(!window->COMM2->IsConnected());
        window->LinkWatchTimer(); // the path is not back yet
        QVERIFY(!window->COMM2->IsConnected());
        if (disconnectMeanwhile)
            window->BtDiscon1Click();

        PtyPair replugged;
        QVERIFY(replugged.ok());
        QVERIFY(QFile::link(replugged.slavePath(), linkPath()));
        window->LinkWatchTimer();

        if (disconnectMeanwhile) {
            QVERIFY(!window->COMM2->IsConnected());
            QCOMPARE(window->linkHealth.reconnects(), 0u);
            QVERIFY(window->BTCon->isVisibleTo(window.get()));
            // Connect still works, on the new device.
            window->BTCon1Click();
            QVERIFY(window->COMM2->IsConnected());
            return;
        }
        QVERIFY(window->COMM2->IsConnected());
        QCOMPARE(window->linkHealth.reconnects(), 1u);
        QVERIFY(traceHolds("# back COM1 " + linkPath()));
        const QString status = window->statusPlace()->currentText();
        QVERIFY2(status.startsWith("COM1 (" + linkPath() + ") back at ") &&
                     status.endsWith("; reconnects: 1"),
                 qPrintable(status));
        window->Timer1Timer();
        QCOMPARE(replugged.receive(), bytes("8A"));
        replugged.send(bytes(kElevenVolts));
        QVERIFY(replugged.waitForSlaveBytes(11));
        window->COMM2->ReceivePoll();
        QVERIFY(linkShown());
        QCOMPARE(window->reading.ReadingText, QString("011.11"));
        // Disconnect and Connect still work after the reconnection.
        window->BtDiscon1Click();
        QVERIFY(!window->COMM2->IsConnected());
        window->BTCon1Click();
        QVERIFY(window->COMM2->IsConnected());
    }

    // The counts since Connect are in the link picture's hint, and in the trace every minute and
    // at Disconnect, on lines that cannot be read as frames.
    void linkHealthShowsInTheHintAndGoesIntoTheTrace() {
        QVERIFY(window->HealthTimer->isActive());
        QCOMPARE(window->HealthTimer->interval(), 60'000);
        window->HealthTimerTimer();
        QVERIFY(window->Memo1.empty()); // nothing to sum up before Connect
        connectThroughLink();
        window->Timer1Timer();
        window->Timer1Timer();
        meterSends(bytes(kElevenVolts));
        meterSends(bytes("8A00000008050A"));
        meterSends(bytes("897008000F010101010A"));
        nowMs += 700;
        window->ConTimerTimer();

        for (QLabel* picture : {window->CONok, window->CONokN}) {
            const QString hint = hintOf(picture);
            for (const char* figure :
                 {"Requests: 2 sent, 0 skipped", "Frames: 1 main display, 1 bar graph",
                  "0 stale, 1 too short, 0 unknown", "Reconnects: 0", "main-display frames: 0.7 s"})
                QVERIFY2(hint.contains(figure), qPrintable(hint));
        }
        window->HealthTimerTimer();
        QCOMPARE(window->Memo1.last(), window->linkHealth.summaryLine(nowMs));
        QVERIFY(window->Memo1.last().startsWith("# link health: requests 2 sent"));
        const std::size_t lines = window->Memo1.size();
        window->BtDiscon1Click();
        QCOMPARE(window->Memo1.size(), lines + 1);
        QVERIFY(window->Memo1.last().startsWith("# link health:"));
        window->HealthTimerTimer();
        QCOMPARE(window->Memo1.size(), lines + 1);
        window->ConTimerTimer();
        QCOMPARE(window->CONokN->toolTip(), QString("Not connected"));
        QCOMPARE(hintOf(window->CONokN), QString("Not connected"));
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

    // A line that never sends a line feed: the trace stays within its bounds however long it runs.
    void theTraceStaysBoundedOnALineWithoutLineFeeds() {
        const QByteArray chunk(2048, '\x55');
        for (int poll = 0; poll < 2048; ++poll) {
            nowMs += 50;
            feed(chunk);
        }
        QVERIFY(window->Memo1.bytes() <= TraceList::kDefaultByteCapacity);
        QVERIFY(window->Memo1.size() > 1);
        QVERIFY(window->linkHealth.unknownLines() >= 1000u);
        QVERIFY(!linkShown());
    }
};

QTEST_MAIN(LinkWindowTest)
#include "tst_linkwindow.moc"
