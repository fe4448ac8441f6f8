// What opening a table does after a crash, and the table's side of the crash journal: finishing
// a save that a crash interrupted, dealing with leftovers, keeping pending readings in the journal,
// and finding and adopting the readings a crash left behind.
#include "ReadingsTable.h"

#include "ParadoxFile.h"
#include "SaveLeftovers.h"
#include "TableError.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <cstring>

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
