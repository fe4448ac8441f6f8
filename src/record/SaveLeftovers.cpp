#include "SaveLeftovers.h"

#include "OwnFile.h"
#include "ParadoxError.h"
#include "ParadoxFile.h"
#include "RecordStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace {

// The largest file a Paradox table can be: a header and 65535 blocks of 32 KiB.
constexpr off_t kLargestTable = off_t{65536} * 32 * 1024;

std::string nameOf(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

struct Leftover {
    enum class State { Ours, Held, NotOurs } state = State::NotOurs;
    std::vector<char> bytes;
    QString why; // NotOurs: why it was left alone
};

// Reads a leftover copy of ours, without following a link or blocking on a FIFO, unless a
// process still holds it (a save in progress).
Leftover readLeftover(const QString& path) {
    Leftover leftover;
    const OwnFile::Opened opened = OwnFile::openExisting(nameOf(path), O_RDONLY);
    if (!opened.ok()) {
        leftover.why = QString::fromStdString(opened.refusal);
        return leftover;
    }
    struct stat st {};
    if (::flock(opened.fd, LOCK_SH | LOCK_NB) != 0) {
        ::close(opened.fd);
        leftover.state = Leftover::State::Held;
        return leftover;
    }
    if (::fstat(opened.fd, &st) == 0 && st.st_size <= kLargestTable) {
        leftover.bytes.resize(static_cast<std::size_t>(st.st_size));
        const ssize_t got = ::pread(opened.fd, leftover.bytes.data(), leftover.bytes.size(), 0);
        leftover.bytes.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
    }
    ::close(opened.fd);
    leftover.state = Leftover::State::Ours;
    return leftover;
}

bool holdsNothingNew(std::vector<char> image, const RecordStore& records,
                     const std::vector<CrashJournal::Entry>& journal) {
    RecordStore copied;
    try {
        const ParadoxFile copy(std::move(image));
        if (copy.layout().recordSize() != records.recordSize())
            return false;
        copied = RecordStore(records.recordSize());
        copy.readRecords(copied);
    } catch (const ParadoxError&) {
        // Not even a header: the crash came before a single record reached it.
        return true;
    }
    const auto size = static_cast<std::size_t>(records.recordSize());
    for (qsizetype i = 0; i < copied.size(); ++i) {
        const qsizetype past = i - records.size();
        const char* known = past < 0 ? records.at(i)
                            : past < static_cast<qsizetype>(journal.size())
                                ? journal[static_cast<std::size_t>(past)].record.data()
                                : nullptr;
        if (!known || std::memcmp(known, copied.at(i), size) != 0)
            return false;
    }
    return true;
}

QString visibleName(const QFileInfo& table) {
    for (int n = 1;; ++n) {
        QString name = QStringLiteral("%1/%2-recovered-%3.%4")
                           .arg(table.absolutePath(), table.completeBaseName())
                           .arg(n)
                           .arg(table.suffix());
        if (!QFileInfo::exists(name) && !QFileInfo(name).isSymLink())
            return name;
    }
}

QStringList namesMatching(const QDir& folder, const QRegularExpression& pattern) {
    QStringList names;
    const QDir::Filters all = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
    for (const QString& name : folder.entryList(all)) {
        if (pattern.match(name).hasMatch())
            names << name;
    }
    return names;
}

TableProblem leftAlone(const QString& why) {
    return {TableCause::LeftoverKept,
            QStringLiteral("%1 It has the name of a file this program leaves behind when a save "
                           "is cut short, so it was left alone.")
                .arg(why)};
}

QString removedText(const QStringList& removed) {
    return QStringLiteral("Removed what saves cut short had left: %1.")
        .arg(removed.join(QStringLiteral(", ")));
}

} // namespace

std::vector<TableProblem> SaveLeftovers::handle(const QString& tablePath,
                                                const RecordStore& records,
                                                const std::vector<CrashJournal::Entry>& journal) {
    const QFileInfo table(tablePath);
    const QRegularExpression ours(QStringLiteral("^\\.%1\\.(\\d+-\\d+|[0-9a-f]{16})\\.tmp$")
                                      .arg(QRegularExpression::escape(table.fileName())));
    std::vector<TableProblem> notices;
    QStringList removed;
    const QDir folder = table.absoluteDir();
    for (const QString& name : namesMatching(folder, ours)) {
        const QString path = folder.filePath(name);
        Leftover leftover = readLeftover(path);
        if (leftover.state == Leftover::State::Held)
            continue;
        if (leftover.state == Leftover::State::NotOurs) {
            notices.push_back(leftAlone(leftover.why));
            continue;
        }
        if (holdsNothingNew(std::move(leftover.bytes), records, journal)) {
            if (OwnFile::removeIfUnheld(nameOf(path)) >= 0)
                removed << QStringLiteral("'%1'").arg(path);
            continue;
        }
        const QString kept = visibleName(table);
        if (!QFile::rename(path, kept))
            continue;
        notices.push_back(
            {TableCause::LeftoverKept,
             QStringLiteral("A save cut short left '%1', which holds readings the table lacks; "
                            "it was kept as '%2'.")
                 .arg(path, kept)});
    }
    const QString exports = removeExportCopies(folder.path());
    if (!removed.isEmpty())
        notices.push_back({TableCause::LeftoverRemoved, removedText(removed)});
    if (!exports.isEmpty())
        notices.push_back({TableCause::LeftoverRemoved, exports});
    return notices;
}

std::vector<TableProblem> SaveLeftovers::settleJournalReplacements(const QString& journalPath) {
    const QFileInfo journal(journalPath);
    const QDir folder = journal.absoluteDir();
    std::vector<TableProblem> notices;
    QStringList removed;

    // The older program's fixed name: taken only when it is a regular file of ours.
    const QString older = journalPath + QStringLiteral(".new");
    const OwnFile::Opened opened = OwnFile::openExisting(nameOf(older), O_RDONLY);
    if (opened.ok()) {
        const bool adopt = !QFileInfo::exists(journalPath) && !journal.isSymLink() &&
                           OwnFile::stillNames(nameOf(older), opened.fd);
        ::close(opened.fd);
        if (adopt)
            QFile::rename(older, journalPath);
        else if (OwnFile::removeIfUnheld(nameOf(older)) >= 0)
            removed << QStringLiteral("'%1'").arg(older);
    }

    const QRegularExpression ours(QStringLiteral("^%1\\.[0-9a-f]{16}\\.new$")
                                      .arg(QRegularExpression::escape(journal.fileName())));
    for (const QString& name : namesMatching(folder, ours)) {
        const QString path = folder.filePath(name);
        if (OwnFile::removeIfUnheld(nameOf(path)) >= 0)
            removed << QStringLiteral("'%1'").arg(path);
    }
    if (!removed.isEmpty())
        notices.push_back({TableCause::LeftoverRemoved, removedText(removed)});
    return notices;
}

QString SaveLeftovers::removeExportCopies(const QString& folder) {
    const QRegularExpression ours(QStringLiteral("^\\..+\\.[0-9a-f]{16}%1$")
                                      .arg(QRegularExpression::escape(exportCopySuffix())));
    const QDir dir(folder);
    QStringList removed;
    for (const QString& name : namesMatching(dir, ours)) {
        const QString path = dir.filePath(name);
        const off_t size = OwnFile::removeIfUnheld(nameOf(path));
        if (size >= 0)
            removed << QStringLiteral("'%1' (%2)").arg(path, QLocale().formattedDataSize(size));
    }
    return removed.isEmpty() ? QString() : removedText(removed);
}
