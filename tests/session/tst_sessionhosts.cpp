#include "../app/RecordingMessages.h"

#include "LogOptions.h"
#include "MeterSession.h"
#include "ReadingLogger.h"
#include "TFCOMM.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

// What a host hears from its session, in order, as comparable text.
struct Heard {
    QStringList stored;  // record number, value, unit, AC/DC, range, time stamp
    QStringList notices; // table notices, refusals, pauses and interval refusals
};

void listen(MeterSession& session, Heard& heard) {
    QObject::connect(&session, &MeterSession::readingStored, [&heard](const StoredReading& r) {
        heard.stored << QStringLiteral("%1 %2 %3 %4 %5 %6")
                            .arg(r.no)
                            .arg(r.reading.ReadingText, r.reading.UnitText, r.reading.AcDcText,
                                 r.reading.RangeText, r.at.toString(Qt::ISODateWithMs));
    });
    QObject::connect(&session, &MeterSession::tableNotice, [&heard](const TableProblem& p) {
        heard.notices << QStringLiteral("notice %1").arg(int(p.cause));
    });
    QObject::connect(&session, &MeterSession::readingRefused,
                     [&heard](const TableProblem& p, TableFailure failure) {
                         heard.notices
                             << QStringLiteral("refused %1 %2").arg(int(p.cause)).arg(int(failure));
                     });
    QObject::connect(&session, &MeterSession::pauseChanged, [&heard, &session] {
        const std::optional<TableProblem>& p = session.pause().problem();
        heard.notices << QStringLiteral("pause %1").arg(p ? int(p->cause) : -1);
    });
    QObject::connect(&session, &MeterSession::intervalRefused,
                     [&heard](const QString& text) { heard.notices << "interval " + text; });
}

// One receive event after another, as the port's reads cut them: a frame split over two reads,
// a repeat the filter skips, a bar-graph frame, a stray short line, a line of an unknown kind and
// a change of unit and range.
const QList<QByteArray> kScript = {
    QByteArray::fromHex("89700800000F01020304"),       // first part of 12.34 V
    QByteArray::fromHex("0A"),                         // its line feed in the next read
    QByteArray::fromHex("89700800000F010203040A"),     // the same reading again
    QByteArray::fromHex("8A123456609A0A"),             // the bar graph
    QByteArray::fromHex("89700A"),                     // too short to be a reading
    QByteArray::fromHex("55010203040A"),               // not a meter frame
    QByteArray::fromHex("89700800000F010203050A"),     // 12.35 V
    QByteArray::fromHex("89601000000F010203040A"),     // another unit: mV
    QByteArray::fromHex("89601000000F010203040A8970"), // again, and the start of a lost line
};

} // namespace

// The window and the logger host the same session: given the same bytes they store the same
// readings and say the same things, however differently each sets the session up.
class SessionHostsTest : public QObject {
    Q_OBJECT

    qint64 nowMs = 1000;
    const QDateTime wallTime =
        QDateTime::fromString("2026-12-07T10:00:00.000+01:00", Qt::ISODateWithMs);

    MeterSession::Setup setupIn(const QTemporaryDir& dir) {
        MeterSession::Setup setup;
        setup.clock = [this] { return nowMs; };
        setup.wallClock = [this] { return wallTime.addMSecs(nowMs); };
        setup.environment = [](const QString&) { return QString(); };
        setup.tableFolder = dir.path();
        return setup;
    }

    void play(MeterSession& session) {
        for (const QByteArray& read : kScript) {
            nowMs += 50;
            session.receive(reinterpret_cast<const std::uint8_t*>(read.constData()),
                            std::size_t(read.size()));
        }
    }

private slots:
    void aScriptedCaptureGivesTheSameReadingsInTheWindowAndTheLogger() {
        QTemporaryDir windowDir;
        QTemporaryDir loggerDir;
        QVERIFY(windowDir.isValid() && loggerDir.isValid());

        TFCOMM window(std::make_shared<RecordingMessages>(), nullptr, setupIn(windowDir));
        for (QTimer* timer : window.findChildren<QTimer*>())
            timer->stop();
        Heard inWindow;
        listen(window.session(), inWindow);
        nowMs = 1000;
        play(window.session());

        LogOptions options;
        options.table = QStringLiteral("Velmarbdb");
        ReadingLogger logger(options, nullptr, setupIn(loggerDir));
        logger.setOutput([](const std::string&) { return true; });
        logger.setStatus([](const QString&) {});
        QVERIFY(!logger.openTable());
        Heard inLogger;
        listen(logger.session(), inLogger);
        nowMs = 1000;
        play(logger.session());

        QCOMPARE(inWindow.stored.size(), 3);
        QCOMPARE(inLogger.stored, inWindow.stored);
        QCOMPARE(inLogger.notices, inWindow.notices);
        const LinkHealth& w = window.session().linkHealth();
        const LinkHealth& l = logger.session().linkHealth();
        QCOMPARE(l.mainFrames(), w.mainFrames());
        QCOMPARE(l.barFrames(), w.barFrames());
        QCOMPARE(l.shortLines(), w.shortLines());
        QCOMPARE(l.unknownLines(), w.unknownLines());
        QCOMPARE(window.session().table().recordCount(), logger.table().recordCount());
    }

    void eachTableCauseHasOneFailureAndPause_data() {
        QTest::addColumn<int>("cause");
        QTest::addColumn<int>("failure");
        QTest::addColumn<int>("until");
        const auto row = [](const char* name, TableCause c, TableFailure f,
                            RecordingPause::Until u) { // u: while recording
            QTest::newRow(name) << int(c) << int(f) << int(u);
        };
        using U = RecordingPause::Until;
        row("value does not fit", TableCause::ValueDoesNotFit, TableFailure::ThisReading,
            U::NextReading);
        row("disk full", TableCause::DiskFull, TableFailure::Table, U::NextReading);
        row("write failed", TableCause::WriteFailed, TableFailure::Table, U::NextReading);
        row("read-only", TableCause::ReadOnly, TableFailure::WholeTable, U::TableChange);
        row("field missing", TableCause::FieldMissing, TableFailure::WholeTable, U::TableChange);
        row("not open", TableCause::NotOpen, TableFailure::WholeTable, U::TableChange);
    }

    void eachTableCauseHasOneFailureAndPause() {
        QFETCH(int, cause);
        const TableFailure failure = classifyTableFailure(TableCause(cause));
        QTEST(int(failure), "failure");
        QTEST(int(RecordingPause::untilFor(TableCause(cause), RecordingPause::During::Recording)),
              "until");
    }
};

QTEST_MAIN(SessionHostsTest)
#include "tst_sessionhosts.moc"
