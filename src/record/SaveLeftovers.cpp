#include "SaveLeftovers.h"

#include "ParadoxFile.h"
#include "RecordStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cstring>

namespace {

std::vector<char> contentsOf(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    return {bytes.begin(), bytes.end()};
}

bool holdsNothingNew(const QString& copyPath, const RecordStore& records,
                     const std::vector<CrashJournal::Entry>& journal) {
    std::vector<char> image = contentsOf(copyPath);
    RecordStore copied;
    try {
        const ParadoxFile copy(std::move(image));
        if (copy.layout().recordSize() != records.recordSize())
            return false;
        copied = RecordStore(records.recordSize());
        copy.readRecords(copied);
    } catch (const TableError&) {
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
        const QString name = QStringLiteral("%1/%2-recovered-%3.%4")
                                 .arg(table.absolutePath(), table.completeBaseName())
                                 .arg(n)
                                 .arg(table.suffix());
        if (!QFileInfo::exists(name))
            return name;
    }
}

} // namespace

std::vector<TableProblem> SaveLeftovers::handle(const QString& tablePath,
                                                const RecordStore& records,
                                                const std::vector<CrashJournal::Entry>& journal) {
    const QFileInfo table(tablePath);
    const QRegularExpression ours(QStringLiteral("^\\.%1\\.\\d+-\\d+\\.tmp$")
                                      .arg(QRegularExpression::escape(table.fileName())));
    std::vector<TableProblem> notices;
    const QDir folder = table.absoluteDir();
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (!ours.match(name).hasMatch())
            continue;
        const QString path = folder.filePath(name);
        if (holdsNothingNew(path, records, journal)) {
            QFile::remove(path);
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
    return notices;
}
