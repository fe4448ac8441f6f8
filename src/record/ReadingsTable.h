#pragma once

#include "CrashJournal.h"
#include "ExclusiveFile.h"
#include "ReadingRecord.h"
#include "RecordLayout.h"
#include "RecordStore.h"
#include "SaveHook.h"
#include "SaveRoom.h"
#include "TableAppend.h"
#include "TableError.h"

#include <QDateTime>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class ParadoxFile;
class SyncWorker;

// The table of readings: one Paradox table file, held open exclusively, read whole into memory
// when opened (a table that cannot be read whole, or may not be written, opens for viewing only,
// with the reason). Appended records stay pending in memory until applyUpdates(), which adds them
// to the file in place (TableAppend) so that a save costs what it adds; emptying, and a table
// that outgrows its block size, write a new file that replaces the old one in one rename. At
// every moment the file on disk reads as a complete table. Records are numbered from 0 in table
// order, saved ones first, which gives a grid model random access to any row.
//
// Pending records are also kept in a journal beside the table (CrashJournal). When the table is
// opened and the journal of an earlier run holds readings the table lacks, journalFound() says
// so and they wait for adoptJournal() or dropJournal().
//
// Every failure throws TableError with a text for the user and a cause, and leaves the table as
// it was; record() and save() give the same as values.
//
// The journal exists from the moment a writable table opens, and every reading goes into it with
// one write before record() returns, so that a reading a host has shown survives the process:
// only the syncs wait. With a sync worker they leave the caller's thread: the journal's syncs
// and a save begun by saveInBackground(). A save hands the journal of the readings it writes
// to the worker, which removes it once the table holds them durably; readings recorded
// meanwhile go into a journal of their own ("<journal>.next") that then takes the journal's
// name. One save follows another.
class ReadingsTable {
public:
    // Readings of an earlier run, found in the journal, that the table lacks.
    struct JournalFound {
        qsizetype count = 0;
        QDateTime firstRecorded;      // local time
        std::optional<qint32> lastNo; // the largest `No` among them, when the table has it
        // "N readings recorded on <date of the first> were not saved. Add them to the table?",
        // or "1 reading ... was not saved. Add it ..."
        [[nodiscard]] QString question() const;
    };

    // The table a new program instance opens, in the table folder.
    static QString defaultTableName() { return QStringLiteral("Velmarbdb.DB"); }

    // saveHook is called between the writes and syncs of every save of this table, its copies
    // and exports, and its journal.
    explicit ReadingsTable(SaveHook saveHook = {});
    // Waits for a save or journal work still running on the sync worker.
    ~ReadingsTable();
    ReadingsTable(const ReadingsTable&) = delete;
    ReadingsTable& operator=(const ReadingsTable&) = delete;

    // A path, absolute or relative to the table folder; a name without extension gets ".DB".
    // Only while the table is closed.
    void setTableName(const QString& name);
    // Where relative table names lie; without a folder only absolute paths open.
    void setFolder(const QString& folder) { m_folder = folder; }
    [[nodiscard]] const SaveHook& saveHook() const { return m_saveHook; }
    [[nodiscard]] QString tableName() const { return m_tableName; }
    // The file the open table was read from (symbolic links resolved); empty while closed.
    [[nodiscard]] QString filePath() const { return m_path; }

    void open();
    // As open(), but a missing file is first created as an empty table of readings.
    void openOrCreate();
    // Drops pending records and releases the file.
    void close();
    [[nodiscard]] bool isOpen() const { return m_layout.has_value(); }
    // Empty when records can be appended; otherwise the reason they cannot.
    [[nodiscard]] QString readOnlyReason() const { return m_readOnlyReason; }

    [[nodiscard]] int fieldCount() const;
    [[nodiscard]] QString fieldName(int field) const;
    // Case-insensitive; -1 when the table has no such field.
    [[nodiscard]] int fieldIndex(QStringView name) const;

    // Saved and pending records, with those recorded while a save runs.
    [[nodiscard]] qsizetype recordCount() const { return m_records.size() + m_held.size(); }
    [[nodiscard]] qsizetype pendingCount() const { return recordCount() - m_savedCount; }
    [[nodiscard]] QString text(qsizetype row, int field) const;

    // Appending by field name: append() starts an empty record (dropping one not yet posted),
    // the setters fill it, post() adds it to the pending records.
    void append();
    void setText(QStringView field, const QString& text);
    void setInteger(QStringView field, qint32 value);
    void setNumber(QStringView field, double value);
    void setTimeOfDay(QStringView field, qint32 msSinceMidnight);
    void post();
    void cancel();
    // Appends and posts a whole reading, or nothing if any field fails.
    void append(const ReadingRecord& reading);

    // Writes every pending record to the file; on failure they all stay pending.
    void applyUpdates();
    // Replaces the file with an empty table of the same fields and drops every record.
    void empty();

    // A cursor over the records in table order, for readers that go from first to last.
    void first() { m_cursor = 0; }
    void next();
    [[nodiscard]] bool eof() const { return m_cursor >= recordCount(); }
    [[nodiscard]] qsizetype currentRow() const { return m_cursor; }
    [[nodiscard]] QString fieldText(QStringView field) const;

    // As append(reading) and applyUpdates(), with a failure given back instead of thrown.
    [[nodiscard]] std::optional<TableProblem> record(const ReadingRecord& reading);
    [[nodiscard]] std::optional<TableProblem> save();
    // Hands the syncs to worker (null: they wait on the caller's thread); set before any is
    // needed, and the worker outlives the table.
    void setSyncWorker(SyncWorker* worker);
    using SaveDone = std::function<void(const std::optional<TableProblem>& problem)>;
    // As save(), with the writes and syncs on the sync worker; done gets the outcome on this
    // thread (at once when there is nothing to write). Readings recorded meanwhile are journaled
    // at once, shown and counted as pending; a save asked for meanwhile follows this one and
    // covers them.
    void saveInBackground(SaveDone done);
    // True from saveInBackground() until its outcome is handed back.
    [[nodiscard]] bool isSaving() const { return m_saving || !m_saveWaiters.empty(); }
    // What a save of the pending readings would write and the size it would leave the file at,
    // and whether the file system and the file-size limit could now take that.
    [[nodiscard]] SaveRoom::Needs saveNeeds() const;
    [[nodiscard]] bool hasRoomForSave() const;
    // Why no reading can be recorded into this table, whatever its values: not open, open for
    // viewing only, or a field recording writes missing or of a type that cannot hold it.
    [[nodiscard]] std::optional<TableProblem> recordingProblem() const;

    [[nodiscard]] std::optional<JournalFound> journalFound() const;
    // Yes: the found readings become pending records, ahead of any recorded since the table
    // opened, with their own fields and numbers.
    void adoptJournal();
    // No: the found readings are dropped and their file removed (readings recorded since the
    // table opened stay pending and kept).
    void dropJournal();
    // Syncs the journal; the window calls it once a second.
    void syncJournal();
    // What the table has to say once, in the status place: a journal that cannot be written, a
    // save finished on opening, a leftover file kept. Each is handed out once.
    [[nodiscard]] std::vector<TableProblem> takeNotices();
    // What the journal of this table is known by: its file name and a hash of its fields.
    [[nodiscard]] CrashJournal::Identity journalIdentity() const;
    // The clock that stamps journal entries, in ms since 1970 (UTC); tests set their own.
    void setClock(std::function<qint64()> clock) { m_clock = std::move(clock); }

    // Writes every record, saved and pending, as a new table at path (replacing a file there).
    void copyTo(const QString& path) const;

    // Raw access for readers that walk many records at once (exports, the report); only while
    // the table is open. Records already stored never move when more are appended. Readings
    // recorded while a save runs join them when it is over.
    [[nodiscard]] const RecordLayout& layout() const {
        requireOpen();
        return *m_layout;
    }
    [[nodiscard]] const RecordStore& records() const { return m_records; }

private:
    struct SaveJob;
    void openFile(const QString& path);
    // Finishes the work on the sync worker and takes its outcomes, before anything that changes
    // more than the pending readings.
    void settle();
    [[nodiscard]] const char* rowAt(qsizetype row) const;
    [[nodiscard]] std::shared_ptr<SaveJob> takeSaveJob();
    void endSave(SaveJob& job);
    void startSaveIfReady();
    void journalRecord(const char* record, qint64 stamp);
    // A writable table always has its journal: created when missing, the sync left to syncJournal.
    void ensureJournal();
    void journalUnwritable(const QString& path, int error);
    void requireOpen() const;
    void requireWritable() const;
    [[nodiscard]] int requireField(QStringView name) const;
    [[nodiscard]] char* editRecord();
    // Sets every field recording writes, in the order recording has always set them.
    void fillRecord(char* record, const ReadingRecord& reading) const;
    void writeFile(const RecordStore& records);
    static void writeTable(ExclusiveFile& file, TableAppend& append, const RecordLayout& layout,
                           const RecordStore& records, const QString& path,
                           const SaveHook& saveHook);
    void recover(const ParadoxFile& table, QString& damage);
    [[nodiscard]] std::optional<CrashJournal::Contents> takeJournal(const QString& path);
    void keepInJournal(const char* record);
    // Writes the journal afresh with the found and the pending readings, or removes it.
    void rewriteJournal();
    void notice(TableCause cause, const QString& message);
    [[nodiscard]] static std::vector<char>
    buildImage(const RecordLayout& layout, const RecordStore& records, const QString& path);

    SaveHook m_saveHook;
    QString m_tableName = defaultTableName();
    QString m_path;
    ExclusiveFile m_file;
    std::optional<RecordLayout> m_layout;
    RecordStore m_records;
    qsizetype m_savedCount = 0;
    qsizetype m_cursor = 0;
    std::vector<char> m_edit; // the record being appended; empty when none
    QString m_readOnlyReason;
    TableAppend m_append;
    CrashJournal m_journal;
    bool m_journalOff = false;     // failed since the last save: recording goes on in memory
    bool m_journalBlocked = false; // something not ours is at the journal's name: left alone
    std::vector<CrashJournal::Entry> m_found;
    std::vector<qint64> m_pendingStamps; // when each pending record was recorded
    std::vector<TableProblem> m_notices;
    QString m_folder;
    SyncWorker* m_worker = nullptr;
    bool m_saving = false; // the file, its appender and the saved readings' journal are with a save
    bool m_journalSyncing = false;   // a sync of the journal waits on the worker
    quint64 m_journalGeneration = 0; // changes whenever the journal is replaced or removed
    RecordStore m_held;              // recorded while a save runs (journaled in the next journal)
    std::vector<qint64> m_heldStamps;
    std::vector<SaveDone> m_saveWaiters; // saves asked for and not yet begun
    std::function<qint64()> m_clock = [] { return QDateTime::currentMSecsSinceEpoch(); };
};
