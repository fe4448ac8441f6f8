#include "ReadingsTable.h"

#include "FollowRule.h"
#include "ParadoxError.h"
#include "ParadoxFile.h"
#include "SaveLeftovers.h"
#include "SyncWorker.h"
#include "TableChain.h"
#include "TableError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>
#include <cerrno>
#include <new>

namespace {

// A bare name such as "Velmarbdb" means the Paradox file "Velmarbdb.DB".
QString withExtension(const QString& name) {
    return QFileInfo(name).fileName().contains(QLatin1Char('.')) ? name
                                                                 : name + QStringLiteral(".DB");
}

// The one file in the folder whose name differs from the wanted one only in case, as the table
// names of a system that ignores case may; the wanted path itself when there is none or several.
QString matchIgnoringCase(const QFileInfo& wanted) {
    const QDir folder = wanted.dir();
    QStringList matches;
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden, QDir::NoSort)) {
        if (name.compare(wanted.fileName(), Qt::CaseInsensitive) == 0)
            matches << name;
    }
    return matches.size() == 1 ? folder.filePath(matches.first()) : wanted.absoluteFilePath();
}

// Relative names count from `folder`; symbolic links are followed so that a save replaces the
// file itself and not the link to it, but only links that the rule for links beside the user's
// files lets us follow: a table another user's link leads to is not opened.
QString resolvedPath(const QString& name, const QString& folder) {
    // Without a folder a relative name would count from wherever the process happens to be.
    if (folder.isEmpty() && QDir::isRelativePath(name)) {
        throw TableError(
            QStringLiteral("The table '%1' has no folder to be looked for in.").arg(name));
    }
    QFileInfo info(QDir(folder).absoluteFilePath(withExtension(name)));
    if (!info.exists() && !info.isSymLink())
        info.setFile(matchIgnoringCase(info));
    const FollowRule::Resolved resolved =
        FollowRule::resolve(QFile::encodeName(info.absoluteFilePath()).toStdString());
    if (!resolved.ok())
        throw TableError(QString::fromStdString(resolved.refusal));
    return QFile::decodeName(QByteArray::fromStdString(resolved.path));
}

} // namespace

ReadingsTable::ReadingsTable(SaveHook saveHook)
    : m_saveHook(std::move(saveHook)), m_journal(m_saveHook) {}

void ReadingsTable::setTableName(const QString& name) {
    if (isOpen())
        throw TableError(QStringLiteral("The table name cannot change while the table is open."));
    m_tableName = name;
}

void ReadingsTable::open() try {
    if (!isOpen())
        openFile(resolvedPath(m_tableName, m_folder));
} catch (const ParadoxError& error) {
    throw TableError(error);
}

void ReadingsTable::openOrCreate() try {
    if (isOpen())
        return;
    const QString path = resolvedPath(m_tableName, m_folder);
    if (!ExclusiveFile::exists(path)) {
        const RecordLayout layout = RecordLayout::readings();
        const std::vector<char> image = ParadoxFile::build(layout, RecordStore(layout.recordSize()),
                                                           QFileInfo(path).fileName());
        // Keep: should another instance create the file first, that one is opened instead.
        ExclusiveFile created =
            ExclusiveFile::write(path, image, m_saveHook, ExclusiveFile::Existing::Keep);
        created.close();
    }
    openFile(path);
} catch (const ParadoxError& error) {
    throw TableError(error);
}

void ReadingsTable::openFile(const QString& path) {
    ExclusiveFile file = ExclusiveFile::open(path);
    std::vector<char> image = file.readAll(path);
    try {
        const ParadoxFile table(std::move(image));
        RecordLayout layout = table.layout();
        RecordStore records(layout.recordSize());
        table.readRecords(records);
        m_layout = std::move(layout);
        m_records = std::move(records);
        m_file = std::move(file);
        m_path = path;
        m_savedCount = m_records.size();
        m_cursor = 0;
        m_edit.clear();
        m_pendingStamps.clear();
        QString damage = table.damage();
        if (!table.isEncrypted())
            m_append = TableAppend(table.chain(), table.headerBytes(), m_saveHook);
        recover(table, damage);
        if (!m_readOnlyReason.isEmpty())
            m_append = TableAppend();
        ensureJournal();
    } catch (const ParadoxError& error) {
        close();
        const TableError table(error);
        throw TableError(
            QStringLiteral("Could not open the table '%1': %2").arg(path, table.message()),
            table.cause());
    } catch (const TableError& error) {
        close();
        throw TableError(
            QStringLiteral("Could not open the table '%1': %2").arg(path, error.message()),
            error.cause());
    } catch (const std::bad_alloc&) {
        close();
        throw TableError(
            QStringLiteral("Could not open the table '%1': not enough memory.").arg(path));
    }
}

void ReadingsTable::notice(TableCause cause, const QString& message) {
    m_notices.push_back({cause, message});
}

std::vector<TableProblem> ReadingsTable::takeNotices() {
    return std::exchange(m_notices, {});
}

std::optional<TableProblem> ReadingsTable::record(const ReadingRecord& reading) {
    try {
        append(reading);
    } catch (const TableError& error) {
        return error.problem();
    }
    return std::nullopt;
}

std::optional<TableProblem> ReadingsTable::save() {
    try {
        applyUpdates();
    } catch (const TableError& error) {
        return error.problem();
    }
    return std::nullopt;
}

// Counted in records, not the blocks that hold them: too little rather than too much, so that a
// save that may fit is tried.
SaveRoom::Needs ReadingsTable::saveNeeds() const {
    if (!m_layout)
        return {};
    const auto recordSize = static_cast<std::uint64_t>(m_layout->recordSize());
    const auto all = static_cast<std::uint64_t>(recordCount()) * recordSize;
    // An appender left unsettled by a failed save leaves only a new file.
    if (m_append.isUnsettled())
        return {all, all};
    const auto bytes = static_cast<std::uint64_t>(pendingCount()) * recordSize;
    const off_t size = m_file.size();
    return {bytes, (size > 0 ? static_cast<std::uint64_t>(size) : 0) + bytes};
}

bool ReadingsTable::hasRoomForSave() const {
    return SaveRoom::verdict(SaveRoom::allowsNow(QFileInfo(m_path).absolutePath()), saveNeeds()) ==
           SaveRoom::Verdict::Try;
}

ReadingsTable::~ReadingsTable() {
    settle();
    // A journal that keeps nothing is not left behind; one with readings stays for the next start.
    if (pendingCount() == 0 && m_found.empty())
        m_journal.remove();
}

void ReadingsTable::close() {
    settle();
    // Closing drops the pending readings, and with them their journal; readings found in a
    // journal and not yet answered for stay in it.
    if (m_found.empty())
        m_journal.remove();
    m_journal.close();
    ++m_journalGeneration;
    m_found.clear();
    m_journalOff = false;
    m_journalBlocked = false;
    m_pendingStamps.clear();
    m_file.close();
    m_layout.reset();
    m_records = RecordStore();
    m_path.clear();
    m_savedCount = 0;
    m_cursor = 0;
    m_edit.clear();
    m_readOnlyReason.clear();
    m_append = TableAppend();
}

int ReadingsTable::fieldCount() const {
    return m_layout ? m_layout->fieldCount() : 0;
}

QString ReadingsTable::fieldName(int field) const {
    requireOpen();
    if (field < 0 || field >= fieldCount())
        throw TableError(QStringLiteral("Field %1 does not exist.").arg(field));
    return m_layout->field(field).name;
}

int ReadingsTable::fieldIndex(QStringView name) const {
    return m_layout ? m_layout->indexOf(name) : -1;
}

QString ReadingsTable::text(qsizetype row, int field) const {
    requireOpen();
    if (row < 0 || row >= recordCount() || field < 0 || field >= fieldCount())
        throw TableError(QStringLiteral("Record %1, field %2 does not exist.").arg(row).arg(field));
    return m_layout->text(rowAt(row), field);
}

const char* ReadingsTable::rowAt(qsizetype row) const {
    return row < m_records.size() ? m_records.at(row) : m_held.at(row - m_records.size());
}

void ReadingsTable::append() {
    requireOpen();
    requireWritable();
    m_edit.assign(static_cast<std::size_t>(m_layout->recordSize()), 0);
}

void ReadingsTable::setText(QStringView field, const QString& text) try {
    char* record = editRecord(); // a record being appended implies an open table
    m_layout->setText(record, requireField(field), text);
} catch (const ParadoxError& error) {
    throw TableError(error);
}

void ReadingsTable::setInteger(QStringView field, qint32 value) try {
    char* record = editRecord(); // a record being appended implies an open table
    m_layout->setInteger(record, requireField(field), value);
} catch (const ParadoxError& error) {
    throw TableError(error);
}

void ReadingsTable::setNumber(QStringView field, double value) try {
    char* record = editRecord(); // a record being appended implies an open table
    m_layout->setNumber(record, requireField(field), value);
} catch (const ParadoxError& error) {
    throw TableError(error);
}

void ReadingsTable::setTimeOfDay(QStringView field, qint32 msSinceMidnight) try {
    char* record = editRecord(); // a record being appended implies an open table
    m_layout->setTimeOfDay(record, requireField(field), msSinceMidnight);
} catch (const ParadoxError& error) {
    throw TableError(error);
}

void ReadingsTable::post() {
    if (m_saving) {
        // The save reads the records on the worker's thread; the journal here is the next one.
        m_held.append(editRecord());
        m_heldStamps.push_back(m_clock());
        journalRecord(m_held.at(m_held.size() - 1), m_heldStamps.back());
    } else {
        m_records.append(editRecord());
        keepInJournal(m_records.at(m_records.size() - 1));
    }
    m_edit.clear();
    m_cursor = recordCount() - 1;
}

void ReadingsTable::cancel() {
    m_edit.clear();
}

void ReadingsTable::append(const ReadingRecord& reading) try {
    append();
    try {
        fillRecord(editRecord(), reading);
        post();
    } catch (...) {
        cancel();
        throw;
    }
} catch (const ParadoxError& error) {
    throw TableError(error);
}

void ReadingsTable::fillRecord(char* record, const ReadingRecord& reading) const {
    // The field names as recording has always written them; they match in any case.
    m_layout->setText(record, requireField(u"value"), reading.value);
    m_layout->setNumber(record, requireField(u"Nval"), reading.nval);
    m_layout->setTimeOfDay(record, requireField(u"time"), reading.timeOfDayMs);
    m_layout->setInteger(record, requireField(u"no"), reading.no);
    m_layout->setText(record, requireField(u"DC/AC"), reading.acDc);
    m_layout->setText(record, requireField(u"unit"), reading.unit);
    m_layout->setText(record, requireField(u"Auto"), reading.range);
}

std::optional<TableProblem> ReadingsTable::recordingProblem() const {
    if (!isOpen())
        return TableProblem{TableCause::NotOpen,
                            QStringLiteral("The table of readings is not open.")};
    if (!m_readOnlyReason.isEmpty())
        return TableProblem{TableCause::ReadOnly, m_readOnlyReason};
    // Empty texts fit any text field: what is left to fail is a field missing or of a type
    // that cannot hold what recording writes.
    std::vector<char> scratch(static_cast<std::size_t>(m_layout->recordSize()), 0);
    try {
        fillRecord(scratch.data(), ReadingRecord{1, 0, {}, {}, {}, {}, 0.0});
    } catch (const ParadoxError& error) {
        return TableError(error).problem();
    } catch (const TableError& error) {
        return error.problem();
    }
    return std::nullopt;
}

// What a save needs, lent to it while it runs (on the sync worker or on the caller's thread), and
// what it did. The records it writes do not change meanwhile: readings recorded during the save
// are held apart, in the next journal.
struct ReadingsTable::SaveJob {
    ExclusiveFile file;
    TableAppend append;
    CrashJournal journal; // of the readings this save writes
    QString path;
    const RecordLayout* layout = nullptr;
    const RecordStore* records = nullptr;
    SaveHook saveHook;
    qsizetype saved = 0;
    qsizetype total = 0;
    std::optional<TableProblem> problem;

    void run() {
        try {
            // A file deleted or moved under the program would take the records out of sight:
            // the table is written anew where it belongs.
            if (!file.isStillAt(path) ||
                append.append(file, *records, saved, path) == TableAppend::Result::NeedsRewrite)
                writeTable(file, append, *layout, *records, path, saveHook);
        } catch (const ParadoxError& error) {
            problem = TableError(error).problem();
            return;
        } catch (const TableError& error) {
            problem = error.problem();
            return;
        } catch (const std::bad_alloc&) {
            // On the worker's thread nothing above would catch it, and the file reads as before.
            problem = TableProblem{
                TableCause::WriteFailed,
                QStringLiteral("Could not write the table file '%1': not enough memory.")
                    .arg(path)};
            return;
        }
        // Only now that the table holds them durably may their journal go; readings found in it
        // and not yet answered for were copied into the next journal.
        journal.remove();
    }
};

void ReadingsTable::applyUpdates() try {
    settle();
    requireOpen();
    if (pendingCount() == 0)
        return;
    requireWritable();
    const std::shared_ptr<SaveJob> job = takeSaveJob();
    job->run();
    endSave(*job);
    if (job->problem)
        throw TableError(job->problem->message, job->problem->cause);
} catch (const ParadoxError& error) {
    throw TableError(error);
}

std::shared_ptr<ReadingsTable::SaveJob> ReadingsTable::takeSaveJob() {
    auto job = std::make_shared<SaveJob>();
    job->file = std::move(m_file);
    job->append = std::move(m_append);
    job->journal = std::move(m_journal);
    job->path = m_path;
    job->layout = &*m_layout;
    job->records = &m_records;
    job->saveHook = m_saveHook;
    job->saved = m_savedCount;
    job->total = m_records.size();
    m_held = RecordStore(m_layout->recordSize());
    m_heldStamps.clear();
    m_saving = true;
    // The readings recorded from now on, and those found and not yet answered for, go into the
    // next journal, which takes the journal's name once the save is over.
    ++m_journalGeneration;
    if (!m_journalOff && !m_journalBlocked && job->journal.isOpen()) {
        const QString next = CrashJournal::nextPathFor(m_path);
        if (const int error = m_journal.create(next, journalIdentity(), job->total, m_found,
                                               CrashJournal::Durable::Later))
            journalUnwritable(next, error);
    }
    return job;
}

void ReadingsTable::endSave(SaveJob& job) {
    m_file = std::move(job.file);
    m_append = std::move(job.append);
    m_saving = false;
    ++m_journalGeneration;
    const QString journalPath = CrashJournal::pathFor(m_path);
    if (!job.problem) {
        m_savedCount = job.total;
        m_pendingStamps.clear();
        if (m_journal.isOpen()) {
            if (const int error = m_journal.renameTo(journalPath))
                journalUnwritable(journalPath, error);
        } else if (!m_journalBlocked) {
            // The next journal could not be made: the saved readings' journal went with the save,
            // and one is made afresh for those recorded meanwhile.
            m_journalOff = false;
            ensureJournal();
            for (qsizetype i = 0; i < m_held.size(); ++i)
                journalRecord(m_held.at(i), m_heldStamps[static_cast<std::size_t>(i)]);
        }
    } else {
        // The pending readings stay in their journal, and those recorded meanwhile join them.
        m_journal.remove();
        m_journal = std::move(job.journal);
        for (qsizetype i = 0; i < m_held.size() && m_journal.isOpen(); ++i) {
            const qint64 stamp = m_heldStamps[static_cast<std::size_t>(i)];
            if (const int error = m_journal.append(stamp, m_held.at(i), stamp)) {
                journalUnwritable(m_journal.path(), error);
                break;
            }
        }
    }
    for (qsizetype i = 0; i < m_held.size(); ++i) {
        m_records.append(m_held.at(i));
        m_pendingStamps.push_back(m_heldStamps[static_cast<std::size_t>(i)]);
    }
    m_held = RecordStore();
    m_heldStamps.clear();
    syncJournal();
}

void ReadingsTable::setSyncWorker(SyncWorker* worker) {
    settle();
    m_worker = worker;
    m_journal.setSyncsElsewhere(worker != nullptr);
}

void ReadingsTable::settle() {
    if (m_worker)
        m_worker->finish();
}

void ReadingsTable::saveInBackground(SaveDone done) {
    if (!m_worker) {
        done(save());
        return;
    }
    m_saveWaiters.push_back(std::move(done));
    startSaveIfReady();
}

// A save begins once the one before has ended.
void ReadingsTable::startSaveIfReady() {
    if (m_saving || m_saveWaiters.empty())
        return;
    std::vector<SaveDone> waiters = std::exchange(m_saveWaiters, {});
    std::optional<TableProblem> problem;
    if (!isOpen())
        problem =
            TableProblem{TableCause::NotOpen, QStringLiteral("The table of readings is not open.")};
    else if (pendingCount() > 0 && !m_readOnlyReason.isEmpty())
        problem = TableProblem{TableCause::ReadOnly, m_readOnlyReason};
    if (problem || pendingCount() == 0) {
        for (const SaveDone& done : waiters)
            done(problem);
        return;
    }
    const std::shared_ptr<SaveJob> job = takeSaveJob();
    m_worker->run([job] { job->run(); },
                  [this, job, waiters = std::move(waiters)] {
                      endSave(*job);
                      for (const SaveDone& done : waiters)
                          done(job->problem);
                      startSaveIfReady();
                  });
}

void ReadingsTable::empty() try {
    settle();
    requireOpen();
    requireWritable();
    // The readings go first: a crash after the table is emptied must not offer them again.
    m_journal.remove();
    try {
        writeFile(RecordStore(m_layout->recordSize()));
    } catch (...) {
        rewriteJournal();
        throw;
    }
    m_found.clear();
    m_journalOff = false;
    m_pendingStamps.clear();
    m_records.clear();
    m_savedCount = 0;
    m_cursor = 0;
    m_edit.clear();
    ensureJournal();
} catch (const ParadoxError& error) {
    throw TableError(error);
}

void ReadingsTable::next() {
    if (m_cursor < recordCount())
        ++m_cursor;
}

QString ReadingsTable::fieldText(QStringView field) const {
    requireOpen();
    const int index = requireField(field);
    if (eof())
        throw TableError(QStringLiteral("There is no current record: the end of the table."));
    return m_layout->text(rowAt(m_cursor), index);
}

void ReadingsTable::copyTo(const QString& path) const try {
    requireOpen();
    if (m_layout->hasBlobFields()) {
        throw TableError(QStringLiteral("The table '%1' has memo or binary fields, which this "
                                        "program cannot copy.")
                             .arg(m_path));
    }
    const QString target = resolvedPath(path, m_folder);
    if (target == m_path)
        throw TableError(
            QStringLiteral("The table '%1' cannot be copied onto itself.").arg(m_path));
    // A table that another program holds open is not replaced under it.
    ExclusiveFile previous;
    if (ExclusiveFile::exists(target))
        previous = ExclusiveFile::open(target);
    const std::vector<char> image = buildImage(*m_layout, m_records, target);
    ExclusiveFile written = ExclusiveFile::write(target, image, m_saveHook);
} catch (const ParadoxError& error) {
    throw TableError(error);
}

void ReadingsTable::requireOpen() const {
    if (!isOpen())
        throw TableError(QStringLiteral("The table of readings is not open."), TableCause::NotOpen);
}

void ReadingsTable::requireWritable() const {
    if (!m_readOnlyReason.isEmpty())
        throw TableError(m_readOnlyReason, TableCause::ReadOnly);
}

int ReadingsTable::requireField(QStringView name) const {
    requireOpen();
    const int index = m_layout->indexOf(name);
    if (index < 0) {
        throw TableError(
            QStringLiteral("Field '%1' not found in the table '%2'.").arg(name, m_path),
            TableCause::FieldMissing);
    }
    return index;
}

char* ReadingsTable::editRecord() {
    if (m_edit.empty())
        throw TableError(QStringLiteral("No record is being appended."));
    return m_edit.data();
}

void ReadingsTable::writeFile(const RecordStore& records) {
    writeTable(m_file, m_append, *m_layout, records, m_path, m_saveHook);
}

void ReadingsTable::writeTable(ExclusiveFile& file, TableAppend& append, const RecordLayout& layout,
                               const RecordStore& records, const QString& path,
                               const SaveHook& saveHook) {
    const std::vector<char> image = buildImage(layout, records, path);
    const mode_t mode = file.permissions();
    // The old file stays locked until the new one, already locked, has taken its place.
    file = ExclusiveFile::write(path, image, saveHook, ExclusiveFile::Existing::Replace, &mode);
    const TableChain chain = TableChain::read(image);
    append = TableAppend(
        chain, std::vector<char>(image.begin(), image.begin() + chain.headerSize()), saveHook);
}

std::vector<char> ReadingsTable::buildImage(const RecordLayout& layout, const RecordStore& records,
                                            const QString& path) {
    try {
        return ParadoxFile::build(layout, records, QFileInfo(path).fileName());
    } catch (const std::bad_alloc&) {
        throw TableError(
            QStringLiteral("Could not write the table file '%1': not enough memory.").arg(path));
    }
}
