// What opening a table does after a crash, and the table's side of the crash journal: finishing
// a save that a crash interrupted, dealing with leftovers, keeping pending readings in the journal,
// and finding and adopting the readings a crash left behind.
#include "ReadingsTable.h"

#include "ParadoxFile.h"
#include "SaveLeftovers.h"
#include "SyncWorker.h"
#include "TableError.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <cerrno>
#include <cstring>
#include <memory>

#include <unistd.h>

namespace {

QString reasonNotWritable(const ParadoxFile& file, const RecordLayout& layout,
                          const ExclusiveFile& opened, const QString& path, const QString& damage) {
    if (!damage.isEmpty()) {
        const qint64 read = file.chain().recordCount();
        const QString shown = read == 0   ? QStringLiteral("It shows no records")
                              : read == 1 ? QStringLiteral("It shows the one record that could "
                                                           "be read")
                                          : QStringLiteral("It shows the %1 records that could "
                                                           "be read")
                                                .arg(read);
        return QStringLiteral("The table file '%1' is damaged: %2. %3, and this program will not "
                              "change it.")
            .arg(path, damage, shown);
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

QString systemText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
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

} // namespace

QString ReadingsTable::JournalFound::question() const {
    const QString date = QLocale().toString(firstRecorded.date(), QLocale::ShortFormat);
    if (count == 1)
        return QStringLiteral("1 reading recorded on %1 was not saved. Add it to the table?")
            .arg(date);
    return QStringLiteral("%1 readings recorded on %2 were not saved. Add them to the table?")
        .arg(count)
        .arg(date);
}

// Settles what a crash left: a save cut short between its link and its header is finished when
// the journal shows it was ours, copies being written are dealt with, and readings of the
// journal that the table lacks are offered (or kept, when the table cannot take them).
void ReadingsTable::recover(const ParadoxFile& table, QString& damage) {
    const QString journalPath = CrashJournal::pathFor(m_path);
    for (const QString& path : {journalPath, CrashJournal::nextPathFor(m_path)}) {
        for (TableProblem& problem : SaveLeftovers::settleJournalReplacements(path))
            m_notices.push_back(std::move(problem));
    }

    std::optional<CrashJournal::Contents> contents = takeJournal(journalPath);
    const bool setAside = contents && !QFileInfo::exists(journalPath);
    const std::vector<CrashJournal::Entry> none;
    const std::vector<CrashJournal::Entry>& entries = contents ? contents->entries : none;
    // Readings recorded during a save that the crash cut short (or that had just ended): never
    // part of that save, so they follow the journal's own.
    const QString nextPath = CrashJournal::nextPathFor(m_path);
    const std::optional<CrashJournal::Contents> next =
        m_journalBlocked ? std::nullopt : takeJournal(nextPath);
    const std::vector<CrashJournal::Entry>& later = next ? next->entries : none;

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
    if (!contents && !next)
        return;

    const std::size_t unsaved = entries.size() - savedTail(m_records, entries);
    const std::size_t laterUnsaved = later.size() - savedTail(m_records, later);
    if (unsaved + laterUnsaved == 0) {
        if (contents && !setAside)
            QFile::remove(journalPath); // read just now as a regular file of ours
        if (next)
            QFile::remove(nextPath);
        return;
    }
    if (!m_readOnlyReason.isEmpty()) {
        if (setAside && laterUnsaved == 0)
            return; // the readings stay in the file set aside, which the notice named
        notice(TableCause::JournalKept,
               QStringLiteral("%1 readings of an earlier run were not saved, and this table "
                              "cannot take them; they stay in '%2'.")
                   .arg(unsaved + laterUnsaved)
                   .arg(laterUnsaved == 0 ? journalPath
                        : unsaved == 0    ? nextPath
                                          : journalPath + QStringLiteral("' and '") + nextPath));
        return;
    }
    m_found.assign(entries.begin(), entries.begin() + static_cast<std::ptrdiff_t>(unsaved));
    m_found.insert(m_found.end(), later.begin(),
                   later.begin() + static_cast<std::ptrdiff_t>(laterUnsaved));
    // A journal that also lists saved readings, one set aside, or one with readings of a save's
    // time beside it is written afresh with the readings still to be answered for.
    const int error = unsaved == entries.size() && !setAside && !next
                          ? m_journal.reopen(journalPath, *contents)
                          : m_journal.create(journalPath, journalIdentity(), m_savedCount, m_found);
    if (error == 0 && next)
        QFile::remove(nextPath);
    if (error != 0) {
        m_journalOff = true;
        notice(TableCause::JournalUnwritable,
               QStringLiteral("The readings not yet saved cannot be kept safe in '%1' (%2); "
                              "they are kept in memory until saved.")
                   .arg(journalPath, systemText(error)));
    }
}

// Reads the journal at path. A journal that could not be read whole, or that belongs to another
// table, is never overwritten or removed: it is moved aside and said; the readings whose check
// holds are still offered. Something at the journal's name that is not a file of ours is left
// alone, and the journal is off until the table is closed.
std::optional<CrashJournal::Contents> ReadingsTable::takeJournal(const QString& path) {
    CrashJournal::Found found = CrashJournal::read(path, journalIdentity());
    using Kind = CrashJournal::Found::Kind;
    if (found.kind == Kind::None)
        return std::nullopt;
    if (found.kind == Kind::Ours)
        return std::move(found.contents);
    if (found.kind == Kind::Refused) {
        m_journalBlocked = true;
        notice(TableCause::JournalKept,
               QStringLiteral("%1 Readings not yet saved are kept in memory only, until saved.")
                   .arg(found.damage));
        return std::nullopt;
    }
    const bool foreign = found.kind == Kind::Foreign;
    int error = 0;
    const QString aside = CrashJournal::moveAside(
        path, foreign ? QStringLiteral("foreign") : QStringLiteral("damaged"), error);
    if (aside.isEmpty()) {
        m_journalBlocked = true;
        notice(TableCause::JournalKept,
               QStringLiteral("'%1' could not be used (%2) nor set aside (%3); it was left as it "
                              "is. Readings not yet saved are kept in memory only, until saved.")
                   .arg(path, found.damage, systemText(error)));
        return std::nullopt;
    }
    if (foreign) {
        notice(TableCause::JournalSetAside,
               QStringLiteral("'%1' holds readings of %2, not of this table; they were not "
                              "offered. The file was kept as '%3'.")
                   .arg(path, found.damage, aside));
        return std::nullopt;
    }
    notice(TableCause::JournalSetAside,
           QStringLiteral("The file of readings not yet saved '%1' could not be read whole: %2. "
                          "%3 readings in it were whole. It was kept as '%4'.")
               .arg(path, found.damage)
               .arg(found.contents.entries.size())
               .arg(aside));
    return std::move(found.contents);
}

CrashJournal::Identity ReadingsTable::journalIdentity() const {
    CrashJournal::Identity identity;
    identity.tableName = QFileInfo(m_path).fileName();
    identity.recordSize = m_layout->recordSize();
    // FNV-1a over each field's name (in lower case, as names match), type and size.
    quint64 hash = 14695981039346656037ull;
    const auto mix = [&hash](const QByteArray& bytes) {
        for (const char c : bytes) {
            hash ^= static_cast<unsigned char>(c);
            hash *= 1099511628211ull;
        }
    };
    for (int i = 0; i < m_layout->fieldCount(); ++i) {
        const TableField& field = m_layout->field(i);
        mix(field.name.toLower().toUtf8());
        mix(QByteArray::number(static_cast<int>(field.type)) + ':' +
            QByteArray::number(field.size) + ';');
    }
    identity.fieldsHash = hash;
    return identity;
}

void ReadingsTable::keepInJournal(const char* record) {
    const qint64 now = m_clock();
    m_pendingStamps.push_back(now);
    journalRecord(record, now);
}

// record is the last pending or held record, recorded at stamp. It is in the kernel when this
// returns; the sync follows on the worker.
void ReadingsTable::journalRecord(const char* record, qint64 stamp) {
    if (m_journalOff || m_journalBlocked)
        return;
    ensureJournal();
    if (!m_journal.isOpen())
        return; // could not be made, and said so
    if (const int error = m_journal.append(stamp, record, stamp))
        journalUnwritable(m_journal.path(), error);
}

void ReadingsTable::ensureJournal() {
    if (m_journal.isOpen() || m_journalOff || m_journalBlocked || !isOpen() ||
        !m_readOnlyReason.isEmpty())
        return;
    const QString path = CrashJournal::pathFor(m_path);
    ++m_journalGeneration;
    if (const int error = m_journal.create(path, journalIdentity(), m_savedCount, {},
                                           CrashJournal::Durable::Later)) {
        journalUnwritable(path, error);
        return;
    }
    syncJournal();
}

void ReadingsTable::journalUnwritable(const QString& path, int error) {
    m_journalOff = true;
    notice(TableCause::JournalUnwritable,
           QStringLiteral("The readings not yet saved cannot be kept safe in '%1' (%2); they "
                          "are kept in memory until saved.")
               .arg(path, systemText(error)));
}

void ReadingsTable::syncJournal() {
    if (m_journalOff || !m_journal.isOpen())
        return;
    if (!m_worker) {
        if (const int error = m_journal.sync())
            journalUnwritable(m_journal.path(), error);
        return;
    }
    if (m_journalSyncing)
        return; // the sync still waiting covers what was appended before it began
    int error = 0;
    bool folder = false;
    const int fd = m_journal.descriptorToSync(error, folder);
    if (fd < 0) {
        if (error != 0)
            journalUnwritable(m_journal.path(), error);
        return;
    }
    m_journalSyncing = true;
    auto result = std::make_shared<int>(0);
    m_worker->run(
        [fd, result, folder, path = m_journal.path()] {
            *result = ::fdatasync(fd) == 0 ? 0 : errno;
            ::close(fd);
            if (*result == 0 && folder)
                *result = CrashJournal::syncFolderOf(path);
        },
        [this, result, path = m_journal.path(), generation = m_journalGeneration] {
            m_journalSyncing = false;
            // A journal replaced or removed meanwhile no longer holds what was being synced.
            if (*result != 0 && generation == m_journalGeneration && !m_journalOff)
                journalUnwritable(path, *result);
        });
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
    settle();
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
    settle();
    if (m_found.empty())
        return;
    m_found.clear();
    rewriteJournal();
}

void ReadingsTable::rewriteJournal() {
    ++m_journalGeneration;
    std::vector<CrashJournal::Entry> entries = m_found;
    for (qsizetype i = m_savedCount; i < m_records.size(); ++i) {
        const char* record = m_records.at(i);
        entries.push_back({m_pendingStamps[static_cast<std::size_t>(i - m_savedCount)],
                           std::vector<char>(record, record + m_layout->recordSize())});
    }
    if (entries.empty()) {
        m_journal.remove();
        ensureJournal();
        return;
    }
    if (m_journalBlocked)
        return;
    const QString path = CrashJournal::pathFor(m_path);
    if (const int error = m_journal.create(path, journalIdentity(), m_savedCount, entries))
        journalUnwritable(path, error);
}
