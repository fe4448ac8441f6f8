#include "../support/PtyPair.h"
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
#include <QTableView>
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

// The window on a line that misbehaves, where what it shows matters: an adapter unplugged and
// plugged in again, a meter that stops answering. The session's own handling of the line is
// tested in tst_sessionlink. The meter is a pseudo-terminal, the poll and every timer are driven
// by calling their handlers, and time is the test's own clock.
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

    // What the session says about the line, as the window shows it: the link picture and its
    // hint, the silence and the device gone and back in the status place (the wait keeps the
    // screen connected so that Disconnect can end it), the health summary on its timer, and
    // Disconnect clearing what was said.
    void theLinkShowsInThePictureItsHintAndTheStatusPlace() {
        QVERIFY(window->findChild<QTimer*>(QStringLiteral("HealthTimer"))->isActive());
        QCOMPARE(window->findChild<QTimer*>(QStringLiteral("HealthTimer"))->interval(), 60'000);
        QCOMPARE(hintOf(window->findChild<QLabel*>(QStringLiteral("CONokN"))),
                 QString("Not connected"));
        connectThroughLink();
        meterSends(bytes(kElevenVolts));
        QVERIFY(linkShown());
        for (QLabel* picture : {window->findChild<QLabel*>(QStringLiteral("CONok")),
                                window->findChild<QLabel*>(QStringLiteral("CONokN"))})
            QCOMPARE(hintOf(picture), window->session().linkHealth().describe(nowMs));
        window->HealthTimerTimer();
        QCOMPARE(window->session().trace().last(),
                 window->session().linkHealth().summaryLine(nowMs));

        nowMs += 3100;
        for (int tick = 0; tick < 3; ++tick)
            window->ConTimerTimer();
        QVERIFY(brokenLinkShown());
        QString status = window->statusPlace()->currentText();
        QVERIFY2(status.startsWith("COM1 (" + linkPath() + "): no answer since"),
                 qPrintable(status));
        meterSends(bytes(kElevenVolts));
        QVERIFY(linkShown());
        QVERIFY(window->statusPlace()->currentText().isEmpty());

        pty->closeMaster();
        QVERIFY(QFile::remove(linkPath()));
        window->session().port().ReceivePoll();
        window->Timer1Timer();
        window->session().port().ReceivePoll();
        window->ConTimerTimer();
        QVERIFY(brokenLinkShown());
        status = window->statusPlace()->currentText();
        QCOMPARE(status, "COM1 (" + linkPath() + ") gone; waiting for it to come back");
        QVERIFY(
            window->findChild<BevelPanel*>(QStringLiteral("BtDiscon"))->isVisibleTo(window.get()));

        PtyPair replugged;
        QVERIFY(replugged.ok());
        QVERIFY(QFile::link(replugged.slavePath(), linkPath()));
        window->LinkWatchTimer();
        status = window->statusPlace()->currentText();
        QVERIFY2(status.startsWith("COM1 (" + linkPath() + ") back at ") &&
                     status.endsWith("; reconnects: 1"),
                 qPrintable(status));
        QVERIFY(messages->errors.isEmpty());

        window->BtDiscon1Click();
        QVERIFY(window->statusPlace()->currentText().isEmpty());
        QVERIFY(window->findChild<BevelPanel*>(QStringLiteral("BTCon"))->isVisibleTo(window.get()));
        QCOMPARE(window->findChild<QLabel*>(QStringLiteral("CONokN"))->toolTip(),
                 QString("Not connected"));
    }

    // A status line takes the grid's bottom row when the meter stops answering or its adapter
    // goes; the newest reading, the one the user then looks for, stays in view all the same.
    void theNewestRowStaysInViewUnderAStatusLine_data() {
        QTest::addColumn<bool>("unplugged");
        QTest::newRow("no answer") << false;
        QTest::newRow("device gone") << true;
    }
    void theNewestRowStaysInViewUnderAStatusLine() {
        QFETCH(bool, unplugged);
        window->show();
        connectThroughLink();
        QByteArray frame = bytes(kElevenVolts);
        for (frame[9] = 0; frame[9] < 15; ++frame[9])
            meterSends(frame);
        // The last reading and the line's end come with no layout between them.
        if (unplugged) {
            pty->closeMaster();
            QVERIFY(QFile::remove(linkPath()));
            window->session().port().ReceivePoll();
            window->Timer1Timer();
            window->session().port().ReceivePoll();
        }
        nowMs += 3100;
        for (int tick = 0; tick < 3; ++tick)
            window->ConTimerTimer();
        QVERIFY(!window->statusPlace()->currentText().isEmpty());
        QCoreApplication::processEvents();
        const auto* grid = window->findChild<QTableView*>(QStringLiteral("DBGrid1"));
        const int newest = grid->model()->rowCount() - 1;
        QCOMPARE(newest, 10); // digits past 9 read alike
        QVERIFY(grid->rowViewportPosition(newest) + grid->rowHeight(newest) <=
                grid->viewport()->height());
    }
};

QTEST_MAIN(LinkWindowTest)
#include "tst_linkwindow.moc"
