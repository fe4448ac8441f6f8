#include "../app/RecordingMessages.h"
#include "../support/FileSizeLimit.h"
#include "../support/PtyPair.h"

#include "LogOptions.h"
#include "MeterSession.h"
#include "ReadingLogger.h"
#include "TCommPortDriver.h"
#include "TFCOMM.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

// What a host hears from its session, in order, as comparable text. Paths are written relative
// to the host's own folder.
struct Heard {
    QStringList frames;  // reading, alarm, peaks restarted, stored
    QStringList stored;  // record number, value, unit, AC/DC, range, time stamp
    QStringList notices; // the link, silence, devices, the table, pauses and the interval
};

void listen(MeterSession& session, const QString& folder, Heard& heard) {
    const auto local = [folder](QString text) { return text.replace(folder, "<folder>"); };
    QObject::connect(&session, &MeterSession::mainFrame, [&heard](const FrameResult& r) {
        heard.frames << QStringLiteral("%1 %2 alarm %3 restarted %4 stored %5")
                            .arg(r.reading.ReadingText, r.reading.UnitText)
                            .arg(r.alarm)
                            .arg(r.restarted)
                            .arg(r.stored);
    });
    QObject::connect(&session, &MeterSession::readingStored, [&heard](const StoredReading& r) {
        heard.stored << QStringLiteral("%1 %2 %3 %4 %5 %6")
                            .arg(r.no)
                            .arg(r.reading.ReadingText, r.reading.UnitText, r.reading.AcDcText,
                                 r.reading.RangeText, r.at.toString(Qt::ISODateWithMs));
    });
    QObject::connect(&session, &MeterSession::linkChanged, [&heard](bool linked) {
        heard.notices << QStringLiteral("link %1").arg(linked);
    });
    QObject::connect(&session, &MeterSession::silenceBegan, [&heard](qint64 silentMs) {
        heard.notices << QStringLiteral("silent for %1 ms").arg(silentMs);
    });
    QObject::connect(&session, &MeterSession::silenceEnded,
                     [&heard] { heard.notices << QStringLiteral("answers again"); });
    QObject::connect(&session, &MeterSession::deviceGone,
                     [&heard](const QString& port) { heard.notices << "gone " + port; });
    QObject::connect(&session, &MeterSession::deviceBack,
                     [&heard](const QString& port) { heard.notices << "back " + port; });
    QObject::connect(&session, &MeterSession::tableNotice, [&heard, local](const TableProblem& p) {
        heard.notices << QStringLiteral("notice %1 %2").arg(int(p.cause)).arg(local(p.message));
    });
    QObject::connect(&session, &MeterSession::readingRefused,
                     [&heard, local](const TableProblem& p, TableFailure failure) {
                         heard.notices << QStringLiteral("refused %1 %2 %3")
                                              .arg(int(p.cause))
                                              .arg(int(failure))
                                              .arg(local(p.message));
                     });
    QObject::connect(&session, &MeterSession::pauseChanged, [&heard, &session] {
        const std::optional<TableProblem>& p = session.pause().problem();
        heard.notices << QStringLiteral("pause %1").arg(p ? int(p->cause) : -1);
    });
    QObject::connect(&session, &MeterSession::intervalRefused,
                     [&heard](const QString& text) { heard.notices << "interval " + text; });
}

// What happens on the line and on the host's timers, in order.
struct Step {
    enum Kind { Read, Tick, Second, Wait } kind;
    QByteArray bytes; // Read: what one poll of the port finds
    int ms = 0;       // Wait: how long nothing happens
};

Step read(const char* hex) {
    return {Step::Read, QByteArray::fromHex(hex)};
}
const Step kTick{Step::Tick, {}};
const Step kSecond{Step::Second, {}};
Step wait(int ms) {
    return {Step::Wait, {}, ms};
}

// One capture as the port's polls cut it, with the host's ticks between: a frame split over two
// reads, a repeat the filter skips, a bar-graph frame, a stray short line, a line of an unknown
// kind, a change of unit and range, a line cut off by the meter falling silent long enough to
// lose the link and be said silent, and its first answer after that. The table's journal cannot
// be written (the disk filled after the table opened), which the first stored reading meets.
const QList<Step> kScript = {
    read("89700800000F01020304"),       // first part of 12.34 V
    read("0A"),                         // its line feed in the next read; the journal fails
    kTick,                              //
    read("89700800000F010203040A"),     // the same reading again
    read("8A123456609A0A"),             // the bar graph
    read("89700A"),                     // too short to be a reading
    read("55010203040A"),               // not a meter frame
    kSecond,                            //
    read("89700800000F010203050A"),     // 12.35 V
    read("89601000000F010203040A"),     // another unit: mV
    read("89601000000F010203040A8970"), // again, and the start of a lost line
    wait(1000),                         //
    kTick,                              // the lost line is stale
    wait(2000),                         //
    kTick,                              // no answer for more than 3 s: silent
    kTick,                              // no frame for three link ticks: unlinked
    kTick,                              // each said once
    kTick,                              //
    read("89700800000F010203040A"),     // 12.34 V again: linked, answering, stored
    kSecond,                            //
    kSecond,                            // the journal's failure is not said again
};

// The host's side of the script: its own port poll and its own timer handlers.
struct Host {
    std::function<void()> poll;
    std::function<void()> tick;
    std::function<void()> second;
};

} // namespace

// The window and the logger host the same session: given the same bytes on their lines and the
// same ticks of their timers they store the same readings and say the same things, however
// differently each sets the session up.
class SessionHostsTest : public QObject {
    Q_OBJECT

    qint64 nowMs = 1000;
    const QDateTime wallTime =
        QDateTime::fromString("2026-12-07T10:00:00.000+01:00", Qt::ISODateWithMs);

    MeterSession::Setup setupIn(const QTemporaryDir& dir, const QString& com1) {
        auto setup = MeterSession::Setup::forProcess();
        setup.clock = [this] { return nowMs; };
        setup.wallClock = [this] { return wallTime.addMSecs(nowMs); };
        setup.environment = [com1](const QString& variable) {
            return variable == QLatin1String("VELMAR_COM1") ? com1 : QString();
        };
        setup.tableFolder = dir.path();
        return setup;
    }

    void play(const PtyPair& meter, const QTemporaryDir& dir, const Host& host) {
        const QFileInfo journal(QDir(dir.path()).filePath(".Velmarbdb.DB.pending"));
        QVERIFY(journal.exists());
        const FileSizeLimit full(static_cast<rlim_t>(journal.size()));
        nowMs = 1000;
        for (const Step& step : kScript) {
            switch (step.kind) {
            case Step::Read:
                nowMs += 50;
                meter.send(step.bytes);
                QVERIFY(meter.waitForSlaveBytes(int(step.bytes.size())));
                host.poll();
                break;
            case Step::Tick:
                nowMs += 100;
                host.tick();
                break;
            case Step::Second:
                nowMs += 1000;
                host.second();
                break;
            case Step::Wait:
                nowMs += step.ms;
                break;
            }
        }
        (void)meter.receive(0); // the requests the host sent
    }

private slots:
    void aScriptedCaptureGivesTheSameReadingsAndNoticesInTheWindowAndTheLogger() {
        QTemporaryDir windowDir;
        QTemporaryDir loggerDir;
        QVERIFY(windowDir.isValid() && loggerDir.isValid());
        PtyPair windowMeter;
        PtyPair loggerMeter;
        QVERIFY(windowMeter.ok() && loggerMeter.ok());

        auto messages = std::make_shared<RecordingMessages>();
        TFCOMM window(messages, nullptr, setupIn(windowDir, windowMeter.slavePath()));
        for (QTimer* timer : window.findChildren<QTimer*>())
            timer->stop();
        window.BTCon1Click();
        QVERIFY(window.session().port().IsConnected());
        Heard inWindow;
        listen(window.session(), windowDir.path(), inWindow);
        // The window waits on the disk on a worker whose outcomes its event loop hands back
        // between two of its timers' ticks; here each step ends with them.
        play(windowMeter, windowDir,
             {[&window] {
                  window.session().port().ReceivePoll();
                  window.session().finishSyncs();
              },
              [&window] {
                  window.Timer1Timer();
                  window.ConTimerTimer();
                  window.session().finishSyncs();
              },
              [&window] {
                  window.TrecordTimer();
                  window.session().finishSyncs();
              }});
        QVERIFY2(messages->errors.isEmpty(), qPrintable(messages->errors.join('\n')));

        LogOptions options;
        options.port = loggerMeter.slavePath();
        options.table = QStringLiteral("Velmarbdb");
        ReadingLogger logger(options, nullptr, setupIn(loggerDir, QString()));
        QStringList said;
        logger.setOutput([](const std::string&) { return true; });
        logger.setStatus([&said](const QString& line) { said << line; });
        QVERIFY(!logger.openPort());
        QVERIFY2(!logger.openTable(), qPrintable(said.join('\n')));
        Heard inLogger;
        listen(logger.session(), loggerDir.path(), inLogger);
        play(loggerMeter, loggerDir,
             {[&logger] {
                  logger.session().port().ReceivePoll();
                  logger.session().finishSyncs();
              },
              [&logger] {
                  logger.requestTick();
                  logger.session().finishSyncs();
              },
              [&logger] {
                  logger.recordTick();
                  logger.session().finishSyncs();
              }});
        QVERIFY(!logger.isFinished());

        // The script does what it says: otherwise two empty lists would pass for agreement.
        QCOMPARE(inWindow.frames.size(), 6);
        QCOMPARE(inWindow.stored.size(), 4);
        const auto count = [&inWindow](const char* notice) {
            return inWindow.notices.filter(notice).size();
        };
        QVERIFY2(count("link 1") == 2 && count("link 0") == 1 && count("silent for") == 1 &&
                     count("answers again") == 1 && count("notice ") == 1,
                 qPrintable(inWindow.notices.join('\n')));

        QCOMPARE(inLogger.frames, inWindow.frames);
        QCOMPARE(inLogger.stored, inWindow.stored);
        QCOMPARE(inLogger.notices, inWindow.notices);
        const LinkHealth& w = window.session().linkHealth();
        const LinkHealth& l = logger.session().linkHealth();
        QCOMPARE(l.mainFrames(), w.mainFrames());
        QCOMPARE(l.barFrames(), w.barFrames());
        QCOMPARE(l.shortLines(), w.shortLines());
        QCOMPARE(l.unknownLines(), w.unknownLines());
        QCOMPARE(l.staleLines(), 1u);
        QCOMPARE(w.staleLines(), 1u);
        QCOMPARE(window.session().table().recordCount(), logger.table().recordCount());
        window.session().port().Disconnect();
    }
};

QTEST_MAIN(SessionHostsTest)
#include "tst_sessionhosts.moc"
