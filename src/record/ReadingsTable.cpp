#include "ReadingsTable.h"

#include "ParadoxFile.h"
#include "SaveLeftovers.h"
#include "TableChain.h"
#include "TableError.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>
#include <cstring>
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

// Relative names count from the current directory; symbolic links are followed so that a save
// replaces the file itself and not the link to it.
QString resolvedPath(const QString& name) {
    QFileInfo info(QDir::current().absoluteFilePath(withExtension(name)));
    if (!info.exists())
        info.setFile(matchIgnoringCase(info));
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

QString reasonNotWritable(const ParadoxFile& file, const RecordLayout& layout,
                          const ExclusiveFile& opened, const QString& path, const QString& damage) {
    if (!damage.isEmpty()) {
        return QStringLiteral("The table file '%1' is damaged: %2. It is shown as far as it could "
                              "be read, and this program will not change it.")
            .arg(path, damage);
    }
    if (file.isKeyed()) {
        return QStringLiteral("The table '%1' is keyed (it has a primary index); this program "
                              "can show it but not change it.")
            .arg(path);
    }
    if (file.isEncrypted()) {
        return QStringLiteral("The table '%1' is password-protected; this program can show it "
                              "but not change it.")
            .arg(path);
    }
    if (layout.hasBlobFields()) {
        return QStringLiteral("The table '%1' has memo or binary fields; this program can show "
                              "it but not change it.")
            .arg(path);
    }
    if (!opened.isWritable() && opened.writeRefusal().isEmpty()) {
        return QStringLiteral("The table file '%1' is read-only (it has no write permission); "
                              "this program can show it but not change it.")
            .arg(path);
    }
    if (!opened.isWritable()) {
        return QStringLiteral("The table file '%1' is read-only here (%2); this program can show "
                              "it but not change it.")
            .arg(path, opened.writeRefusal());
    }
    return {};
}

// How many of the journal's last entries are the table's last records (saved already).
std::size_t savedTail(const RecordStore& records, const std::vector<CrashJournal::Entry>& entries) {
    const auto size = static_cast<std::size_t>(records.recordSize());
    std::size_t matched = 0;
    while (matched < entries.size() && static_cast<qsizetype>(matched) < records.size() &&
           std::memcmp(records.at(records.size() - 1 - static_cast<qsizetype>(matched)),
                       entries[entries.size() - 1 - matched].record.data(), size) == 0)
        ++matched;
    return matched;
}

QString systemText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

QString ReadingsTable::JournalFound::question() const {
    return QStringLiteral("%1 readings recorded on %2 were not saved. Add them to the table?")
        .arg(count)
        .arg(QLocale().toString(firstRecorded.date(), QLocale::ShortFormat));
}

void ReadingsTable::setTableName(const QString& name) {
    if (isOpen())
        throw TableError(QStringLiteral("The table name cannot change while the table is open."));
    m_tableName = name;
}

void ReadingsTable::open() {
    if (!isOpen())
        openFile(resolvedPath(m_tableName));
}

void ReadingsTable::openOrCreate() {
    if (isOpen())
        return;
    const QString path = resolvedPath(m_tableName);
    if (!ExclusiveFile::exists(path)) {
        const RecordLayout layout = RecordLayout::readings();
        const std::vector<char> image = ParadoxFile::build(layout, RecordStore(layout.recordSize()),
                                                           QFileInfo(path).fileName());
        // Keep: should another instance create the file first, that one is opened instead.
        ExclusiveFile created = ExclusiveFile::write(path, image, ExclusiveFile::Existing::Keep);
        created.close();
    }
    openFile(path);
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
            m_append = TableAppend(table.chain(), table.headerBytes());
        recover(table, damage);
        if (!m_readOnlyReason.isEmpty())
            m_append = TableAppend();
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

// Settles what a crash left: a save cut short between its link and its header is finished when
// the journal shows it was ours, copies being written are dealt with, and readings of the
// journal that the table lacks are offered (or kept, when the table cannot take them).
void ReadingsTable::recover(const ParadoxFile& table, QString& damage) {
    const QString journalPath = CrashJournal::pathFor(m_path);
    const QString replacement = journalPath + QStringLiteral(".new");
    if (QFileInfo::exists(replacement) && !QFileInfo::exists(journalPath))
        QFile::rename(replacement, journalPath);
    QFile::remove(replacement); // a replacement cut short: the journal it was to replace holds all

    std::optional<CrashJournal::Contents> contents;
    try {
        contents = CrashJournal::read(journalPath, m_layout->recordSize());
    } catch (const TableError& error) {
        notice(TableCause::JournalKept, error.message());
    }
    const std::vector<CrashJournal::Entry> none;
    const std::vector<CrashJournal::Entry>& entries = contents ? contents->entries : none;

    const TableChain& chain = table.chain();
    if (contents && !entries.empty() && !table.isEncrypted() && chain.onlyCountDisagrees() &&
        m_file.isWritable() && chain.headerRecordCount() == contents->baseCount &&
        m_records.size() == contents->baseCount + static_cast<qsizetype>(entries.size()) &&
        savedTail(m_records, entries) == entries.size() && m_append.settleHeader(m_file) == 0) {
        damage.clear();
        notice(TableCause::SaveFinished,
               QStringLiteral("A save of %1 readings that a crash cut short was finished.")
                   .arg(entries.size()));
    }
    m_readOnlyReason = reasonNotWritable(table, *m_layout, m_file, m_path, damage);
    for (TableProblem& problem : SaveLeftovers::handle(m_path, m_records, entries))
        m_notices.push_back(std::move(problem));
    if (!contents)
        return;

    const std::size_t unsaved = entries.size() - savedTail(m_records, entries);
    if (unsaved == 0) {
        QFile::remove(journalPath);
        return;
    }
    if (!m_readOnlyReason.isEmpty()) {
        notice(TableCause::JournalKept,
               QStringLiteral("%1 readings of an earlier run were not saved, and this table "
                              "cannot take them; they stay in '%2'.")
                   .arg(unsaved)
                   .arg(journalPath));
        return;
    }
    m_found.assign(entries.begin(), entries.begin() + static_cast<std::ptrdiff_t>(unsaved));
    // A journal that also lists saved readings is written afresh with the others alone.
    const int error =
        unsaved == entries.size()
            ? m_journal.reopen(journalPath, *contents)
            : m_journal.create(journalPath, m_layout->recordSize(), m_savedCount, m_found);
    if (error != 0) {
        m_journalOff = true;
        notice(TableCause::JournalUnwritable,
               QStringLiteral("The readings not yet saved cannot be kept safe in '%1' (%2); "
                              "they are kept in memory until saved.")
                   .arg(journalPath, systemText(error)));
    }
}

void ReadingsTable::notice(TableCause cause, const QString& message) {
    m_notices.push_back({cause, message});
}

std::vector<TableProblem> ReadingsTable::takeNotices() {
    return std::exchange(m_notices, {});
}

void ReadingsTable::keepInJournal(const char* record) {
    const qint64 now = m_clock();
    m_pendingStamps.push_back(now);
    if (m_journalOff)
        return;
    int error = 0;
    if (!m_journal.isOpen())
        error = m_journal.create(CrashJournal::pathFor(m_path), m_layout->recordSize(),
                                 m_savedCount, {});
    if (error == 0)
        error = m_journal.append(now, record, now);
    if (error == 0)
        return;
    m_journalOff = true;
    notice(TableCause::JournalUnwritable,
           QStringLiteral("The readings not yet saved cannot be kept safe in '%1' (%2); they "
                          "are kept in memory until saved.")
               .arg(CrashJournal::pathFor(m_path), systemText(error)));
}

void ReadingsTable::syncJournal() {
    if (m_journalOff || !m_journal.isOpen())
        return;
    if (const int error = m_journal.sync()) {
        m_journalOff = true;
        notice(TableCause::JournalUnwritable,
               QStringLiteral("The readings not yet saved cannot be kept safe in '%1' (%2); "
                              "they are kept in memory until saved.")
                   .arg(m_journal.path(), systemText(error)));
    }
}

std::optional<ReadingsTable::JournalFound> ReadingsTable::journalFound() const {
    if (m_found.empty())
        return std::nullopt;
    JournalFound found;
    found.count = static_cast<qsizetype>(m_found.size());
    found.firstRecorded = QDateTime::fromMSecsSinceEpoch(m_found.front().recordedMs);
    const int no = m_layout->indexOf(u"No");
    for (const CrashJournal::Entry& entry : m_found) {
        bool ok = false;
        const qint32 value = no < 0 ? 0 : m_layout->text(entry.record.data(), no).toInt(&ok);
        if (ok)
            found.lastNo = std::max(found.lastNo.value_or(value), value);
    }
    return found;
}

void ReadingsTable::adoptJournal() {
    if (m_found.empty())
        return;
    // The found readings go before those recorded since opening, as the journal lists them.
    RecordStore records(m_layout->recordSize());
    for (qsizetype i = 0; i < m_savedCount; ++i)
        records.append(m_records.at(i));
    std::vector<qint64> stamps;
    for (const CrashJournal::Entry& entry : m_found) {
        records.append(entry.record.data());
        stamps.push_back(entry.recordedMs);
    }
    for (qsizetype i = m_savedCount; i < m_records.size(); ++i)
        records.append(m_records.at(i));
    stamps.insert(stamps.end(), m_pendingStamps.begin(), m_pendingStamps.end());
    m_records = std::move(records);
    m_pendingStamps = std::move(stamps);
    m_found.clear();
    m_cursor = recordCount() - 1;
}

void ReadingsTable::dropJournal() {
    if (m_found.empty())
        return;
    m_found.clear();
    rewriteJournal();
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

void ReadingsTable::close() {
    // Closing drops the pending readings, and with them their journal; readings found in a
    // journal and not yet answered for stay in it.
    if (m_found.empty())
        m_journal.remove();
    m_journal.close();
    m_found.clear();
    m_journalOff = false;
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
    return m_layout->text(m_records.at(row), field);
}

void ReadingsTable::append() {
    requireOpen();
    requireWritable();
    m_edit.assign(static_cast<std::size_t>(m_layout->recordSize()), 0);
}

void ReadingsTable::setText(QStringView field, const QString& text) {
    char* record = editRecord(); // a record being appended implies an open table
    m_layout->setText(record, requireField(field), text);
}

void ReadingsTable::setInteger(QStringView field, qint32 value) {
    char* record = editRecord(); // a record being appended implies an open table
    m_layout->setInteger(record, requireField(field), value);
}

void ReadingsTable::setNumber(QStringView field, double value) {
    char* record = editRecord(); // a record being appended implies an open table
    m_layout->setNumber(record, requireField(field), value);
}

void ReadingsTable::setTimeOfDay(QStringView field, qint32 msSinceMidnight) {
    char* record = editRecord(); // a record being appended implies an open table
    m_layout->setTimeOfDay(record, requireField(field), msSinceMidnight);
}

void ReadingsTable::post() {
    m_records.append(editRecord());
    m_edit.clear();
    keepInJournal(m_records.at(m_records.size() - 1));
    m_cursor = recordCount() - 1;
}

void ReadingsTable::cancel() {
    m_edit.clear();
}

void ReadingsTable::append(const ReadingRecord& reading) {
    append();
    try {
        fillRecord(editRecord(), reading);
        post();
    } catch (...) {
        cancel();
        throw;
    }
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
    } catch (const TableError& error) {
        return error.problem();
    }
    return std::nullopt;
}

void ReadingsTable::applyUpdates() {
    requireOpen();
    if (pendingCount() == 0)
        return;
    requireWritable();
    // A file deleted or moved under the program would take the records out of sight: the
    // table is written anew where it belongs.
    if (!m_file.isStillAt(m_path) || m_append.append(m_file, m_records, m_savedCount, m_path) ==
                                         TableAppend::Result::NeedsRewrite)
        writeFile(m_records);
    m_savedCount = recordCount();
    m_pendingStamps.clear();
    m_journalOff = false;
    // Readings found in the journal and not yet answered for stay in it, alone.
    rewriteJournal();
}

void ReadingsTable::empty() {
    requireOpen();
    requireWritable();
    // The readings go first: a crash after the table is emptied must not offer them again.
    m_journal.remove();
    try {
        writeFile(RecordStore(m_layout->recordSize()));
    } catch (const TableError&) {
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
}

void ReadingsTable::rewriteJournal() {
    std::vector<CrashJournal::Entry> entries = m_found;
    for (qsizetype i = m_savedCount; i < m_records.size(); ++i) {
        const char* record = m_records.at(i);
        entries.push_back({m_pendingStamps[static_cast<std::size_t>(i - m_savedCount)],
                           std::vector<char>(record, record + m_layout->recordSize())});
    }
    if (entries.empty()) {
        m_journal.remove();
        return;
    }
    const QString path = CrashJournal::pathFor(m_path);
    if (const int error = m_journal.create(path, m_layout->recordSize(), m_savedCount, entries)) {
        m_journalOff = true;
        notice(TableCause::JournalUnwritable,
               QStringLiteral("The readings not yet saved cannot be kept safe in '%1' (%2); "
                              "they are kept in memory until saved.")
                   .arg(path, systemText(error)));
    }
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
    return m_layout->text(m_records.at(m_cursor), index);
}

void ReadingsTable::copyTo(const QString& path) const {
    requireOpen();
    if (m_layout->hasBlobFields()) {
        throw TableError(QStringLiteral("The table '%1' has memo or binary fields, which this "
                                        "program cannot copy.")
                             .arg(m_path));
    }
    const QString target = resolvedPath(path);
    if (target == m_path)
        throw TableError(
            QStringLiteral("The table '%1' cannot be copied onto itself.").arg(m_path));
    // A table that another program holds open is not replaced under it.
    ExclusiveFile previous;
    if (ExclusiveFile::exists(target))
        previous = ExclusiveFile::open(target);
    const std::vector<char> image = buildImage(m_records, target);
    ExclusiveFile written = ExclusiveFile::write(target, image);
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
    const std::vector<char> image = buildImage(records, m_path);
    const mode_t mode = m_file.permissions();
    // The old file stays locked until the new one, already locked, has taken its place.
    m_file = ExclusiveFile::write(m_path, image, ExclusiveFile::Existing::Replace, &mode);
    const TableChain chain = TableChain::read(image);
    m_append =
        TableAppend(chain, std::vector<char>(image.begin(), image.begin() + chain.headerSize()));
}

std::vector<char> ReadingsTable::buildImage(const RecordStore& records, const QString& path) const {
    try {
        return ParadoxFile::build(*m_layout, records, QFileInfo(path).fileName());
    } catch (const std::bad_alloc&) {
        throw TableError(
            QStringLiteral("Could not write the table file '%1': not enough memory.").arg(path));
    }
}
