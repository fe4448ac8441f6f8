#include "../support/FileSizeLimit.h"
#include "../support/JournaledReadings.h"
#include "../support/TableFiles.h"

#include "CodePage.h"
#include "MeterSession.h"
#include "TableFailure.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// Tables that open but cannot take readings, as other software or another user leaves them.
void writeTableThatCannotTakeReadings(const QString& path, const QString& kind) {
    if (kind == "other fields") {
        writeTable(path,
                   RecordLayout({{"Name", FieldType::Alpha, 20}, {"Amount", FieldType::Number, 8}},
                                CodePage::kWindowsWestern));
    } else if (kind == "other type") {
        writeTable(path, RecordLayout({{"No", FieldType::Alpha, 4},
                                       {"Time", FieldType::Time, 4},
                                       {"DC/AC", FieldType::Alpha, 5},
                                       {"Value", FieldType::Alpha, 10},
                                       {"Unit", FieldType::Alpha, 10},
                                       {"AUTO", FieldType::Alpha, 4},
                                       {"Nval", FieldType::Number, 8}},
                                      CodePage::kWindowsWestern));
    } else if (kind == "primary index") {
        writeKeyedReadingsTable(path);
    } else {
        writeTable(path, RecordLayout::readings());
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup));
    }
}

} // namespace

// The table side of a session, without a window: which tables make recording wait and what ends
// the wait, each said once; a sampling interval that is no number; Record/New; the journal; and
// other tables opened, readings a crash left beside them, and a table that cannot be opened.
class SessionTableTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<MeterSession> session;
    // Everything the session said, in order.
    QStringList said;

    [[nodiscard]] QString path(const QString& name) const { return dir->filePath(name); }
    [[nodiscard]] QString canonical(const QString& name) const {
        return QFileInfo(path(name)).canonicalFilePath();
    }

    void makeSession() {
        auto setup = MeterSession::Setup::forProcess();
        setup.clock = [] { return qint64(1000); };
        setup.environment = [](const QString&) { return QString(); };
        setup.tableFolder = dir->path();
        session = std::make_unique<MeterSession>(std::move(setup));
        connect(session.get(), &MeterSession::readingStored, this,
                [this](const StoredReading& r) { said << QStringLiteral("stored %1").arg(r.no); });
        connect(session.get(), &MeterSession::readingRefused, this,
                [this](const TableProblem& p) { said << "refused " + p.message; });
        connect(session.get(), &MeterSession::tableNotice, this,
                [this](const TableProblem& p) { said << "notice " + p.message; });
        connect(session.get(), &MeterSession::pauseChanged, this, [this] {
            const std::optional<TableProblem>& p = session->pause().problem();
            said << (p ? "paused " + RecordingPause::text(*p) : QStringLiteral("resumed"));
        });
        connect(session.get(), &MeterSession::intervalRefused, this,
                [this](const QString& text) { said << "interval refused " + text; });
        connect(session.get(), &MeterSession::intervalAccepted, this,
                [this] { said << QStringLiteral("interval accepted"); });
    }

    // A main-display frame whose last digit is `last`; different digits make different readings.
    void frame(std::uint8_t last) {
        const std::uint8_t f[] = {0x89, 0x70, 0x08, 0x00, 0x00, 0x0F, 0x01, 0x02, 0x03, last, 0x0A};
        session->receive(f, sizeof f);
    }
    void frames(std::uint8_t from, std::uint8_t to) {
        for (std::uint8_t last = from; last <= to; ++last)
            frame(last);
    }
    [[nodiscard]] QString lastNo() const {
        const ReadingsTable& table = session->table();
        return table.text(table.recordCount() - 1, table.fieldIndex(u"No"));
    }

private slots:
    // A table's refusal of a reading, by its cause: what it means for the readings after it
    // (each host responds to that in its own way) and how long recording waits.
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

    void init() {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        said.clear();
        makeSession();
    }

    void cleanup() {
        session.reset();
        QFile::setPermissions(path("Velmarbdb.DB"), QFile::ReadOwner | QFile::WriteOwner);
        dir.reset();
    }

    // A table that opens but cannot take readings, at start or opened later: recording pauses,
    // said once with the reason, and stays paused without another word while readings come and
    // the journal ticks; a table that takes readings, opened after it, ends the pause and the
    // numbering goes on.
    void aTableThatCannotTakeReadingsPausesRecordingOnceUntilAnotherOpens_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("atStart");
        QTest::addColumn<QString>("reason");
        QTest::newRow("other fields") << "other fields" << true << "Field";
        QTest::newRow("primary index") << "primary index" << true << "primary index";
        QTest::newRow("no write permission") << "read-only" << true << "read-only";
        QTest::newRow("field of another type") << "other type" << true << "cannot hold";
        QTest::newRow("primary index, opened later") << "primary index" << false << "keyed";
    }

    void aTableThatCannotTakeReadingsPausesRecordingOnceUntilAnotherOpens() {
        QFETCH(QString, kind);
        QFETCH(bool, atStart);
        QFETCH(QString, reason);
        const QString bad = atStart ? path("Velmarbdb.DB") : path("bad.DB");
        writeTableThatCannotTakeReadings(bad, kind);
        const QString good = atStart ? path("good.DB") : path("Velmarbdb.DB");
        if (atStart) {
            makeReadingsTable(good, 0);
            session->openDefaultTable();
        } else {
            session->openDefaultTable();
            frame(1);
            QVERIFY(!session->save());
            said.clear();
            QCOMPARE(session->switchTable(bad), QString());
        }
        QVERIFY(session->table().isOpen());
        QCOMPARE(said.size(), 2);
        QCOMPARE(said[0], QString("resumed")); // what the table open before said is over
        QVERIFY2(said[1].startsWith("paused Recording paused"), qPrintable(said[1]));
        QVERIFY2(said[1].contains(reason, Qt::CaseInsensitive), qPrintable(said[1]));
        if (!session->table().readOnlyReason().isEmpty())
            QCOMPARE(said[1].count(session->table().readOnlyReason()), 1);
        const qint32 nextNo = session->recording().NextRecordNo;

        said.clear();
        frames(2, 9);
        session->recordTick();
        QCOMPARE(said, QStringList());
        QCOMPARE(session->table().recordCount(), 0);
        QCOMPARE(session->recording().NextRecordNo, nextNo);

        QCOMPARE(session->switchTable(good), QString());
        QCOMPARE(said, QStringList{"resumed"});
        QVERIFY(!session->pause().problem());
        frame(0);
        QCOMPARE(lastNo(), QString::number(nextNo));
    }

    // A pasted interval that is not a whole number stores nothing until it is corrected.
    void anIntervalThatIsNotAWholeNumberStoresNothingUntilCorrected() {
        session->openDefaultTable();
        said.clear();
        QVERIFY(!session->setIntervalText("1.5"));
        frames(0, 9);
        QCOMPARE(session->table().recordCount(), 0);
        QVERIFY(!said.isEmpty());
        QCOMPARE(said.filter("interval refused 1.5").size(), said.size());
        QVERIFY(session->setIntervalText("0"));
        QCOMPARE(said.last(), QString("interval accepted"));
        frame(1); // differs from the last texts taken while refused
        QCOMPARE(session->table().recordCount(), 1);
        QCOMPARE(lastNo(), QString("1"));
    }

    // Record/New empties the table and its journal and numbers from one again, in a new run so
    // that a run and a number name one reading; when the table cannot be emptied (its folder
    // went away) the readings, their numbering and their run stay.
    void recordNewEmptiesTheTableAndItsJournalOrKeepsEverything_data() {
        QTest::addColumn<bool>("folderGone");
        QTest::newRow("emptied") << false;
        QTest::newRow("cannot be emptied") << true;
    }

    void recordNewEmptiesTheTableAndItsJournalOrKeepsEverything() {
        QFETCH(bool, folderGone);
        session->openDefaultTable();
        frames(0, 2);
        session->recordTick(); // the journal is synced once a second
        const QString journal = path(".Velmarbdb.DB.pending");
        QVERIFY(QFileInfo::exists(journal));
        if (folderGone) {
            QVERIFY(!session->save());
            QVERIFY(QDir(dir->path()).removeRecursively());
        }
        const QString run = session->runId();
        bool refused = false;
        try {
            session->emptyTable();
        } catch (const TableError&) {
            refused = true;
        }
        QCOMPARE(refused, folderGone);
        if (folderGone) {
            QCOMPARE(session->recording().NextRecordNo, 4);
            QCOMPARE(session->recording().RecordedCount, 3);
            QCOMPARE(session->table().recordCount(), 3);
            QCOMPARE(session->runId(), run);
            return;
        }
        QVERIFY(session->runId() != run);
        QCOMPARE(journaledReadings(session->table()), 0u);
        QCOMPARE(session->table().recordCount(), 0);
        frame(3);
        QCOMPARE(lastNo(), QString("1"));
    }

    // A journal that cannot be written is said once, as soon as it is known, also when the
    // journal is made on the sync worker (as in the window); recording goes on.
    void aJournalThatCannotBeWrittenIsSaidOnceAndRecordingGoesOn_data() {
        QTest::addColumn<bool>("onWorker");
        QTest::newRow("waits here") << false;
        QTest::newRow("on the worker") << true;
    }
    void aJournalThatCannotBeWrittenIsSaidOnceAndRecordingGoesOn() {
        QFETCH(bool, onWorker);
        if (onWorker)
            session->syncInBackground();
        session->openDefaultTable();
        // The disk fills once the table is open: the first reading meets it.
        const FileSizeLimit full(
            static_cast<rlim_t>(QFileInfo(path(".Velmarbdb.DB.pending")).size()));
        frame(0);
        session->finishSyncs();
        QCOMPARE(said.filter("notice ").size(), 1);
        frames(1, 4);
        session->recordTick();
        session->recordTick();
        session->finishSyncs();
        QCOMPARE(session->table().recordCount(), 5);
        QCOMPARE(said.filter("notice ").size(), 1);
        QVERIFY2(said.filter("notice ").first().contains(".Velmarbdb.DB.pending"),
                 qPrintable(said.join('\n')));
        QVERIFY(!session->pause().problem());
    }

    // Readings a crash left beside another table: taken in, numbering goes on after them and
    // never back over numbers given since; dropped, they are gone with their journal.
    void readingsLeftBesideAnotherTableCarryTheNumberingOn_data() {
        QTest::addColumn<bool>("adopt");
        QTest::addColumn<int>("recordedBefore"); // readings saved into the first table
        QTest::addColumn<QString>("nextNo");     // the number the next reading gets
        QTest::newRow("adopted: after them") << true << 0 << "6";
        QTest::newRow("adopted: never back over numbers given") << true << 8 << "9";
        QTest::newRow("dropped") << false << 0 << "1";
    }

    void readingsLeftBesideAnotherTableCarryTheNumberingOn() {
        QFETCH(bool, adopt);
        QFETCH(int, recordedBefore);
        QFETCH(QString, nextNo);
        const QString other = path("other.DB");
        recordAndDie(other, 1, 5);
        session->openDefaultTable();
        for (int i = 0; i < recordedBefore; ++i)
            frame(std::uint8_t(i));
        QVERIFY(!session->save());
        QCOMPARE(session->switchTable(other), QString());
        const std::optional<ReadingsTable::JournalFound> found = session->table().journalFound();
        QVERIFY(found);
        QCOMPARE(found->count, 5);
        if (adopt) {
            session->adoptJournal();
        } else {
            session->dropJournal();
            QCOMPARE(journaledReadings(session->table()), 0u);
        }
        QCOMPARE(session->table().recordCount(), adopt ? 5 : 0);
        frame(9);
        QCOMPARE(lastNo(), nextNo);
    }

    // A name that differs only in case from others in the folder opens as chosen.
    void aMixedCasePathOpensAsChosen() {
        session->openDefaultTable();
        QVERIFY(QDir(dir->path()).mkdir(QStringLiteral("Data")));
        // Made under other names: a missing name is looked up without regard to case.
        makeReadingsTable(path("Data/four.DB"), 4);
        makeReadingsTable(path("Data/seven.DB"), 7);
        QVERIFY(QFile::rename(path("Data/four.DB"), path("Data/Bench.Db")));
        QVERIFY(QFile::rename(path("Data/seven.DB"), path("Data/BENCH.DB")));
        QCOMPARE(session->switchTable(path("Data/Bench.Db")), QString());
        QCOMPARE(session->table().filePath(), canonical("Data/Bench.Db"));
        QCOMPARE(session->table().recordCount(), 4);
    }

    // A table that cannot be opened says why and which table stays open: the one open before,
    // into which recording goes on with its numbering.
    void aFailingOpenFallsBackAndRecordingGoesOn_data() {
        QTest::addColumn<QByteArray>("bytes"); // empty: no file at all
        QTest::newRow("not a table") << QByteArray("these are not the bytes of a table");
        QTest::newRow("missing") << QByteArray();
    }

    void aFailingOpenFallsBackAndRecordingGoesOn() {
        QFETCH(QByteArray, bytes);
        const QString bad = path("bad.DB");
        if (!bytes.isEmpty()) {
            QFile file(bad);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        }
        session->openDefaultTable();
        frame(1);
        QVERIFY(!session->save());
        const qint32 nextNo = session->recording().NextRecordNo;

        const QString failure = session->switchTable(bad);
        QVERIFY2(failure.contains(bad) && failure.contains("stays open"), qPrintable(failure));
        QCOMPARE(session->table().filePath(), canonical("Velmarbdb.DB"));
        QCOMPARE(session->table().recordCount(), 1);
        frame(2);
        QCOMPARE(session->table().recordCount(), 2);
        QCOMPARE(lastNo(), QString::number(nextNo));
    }
};

QTEST_GUILESS_MAIN(SessionTableTest)
#include "tst_sessiontable.moc"
