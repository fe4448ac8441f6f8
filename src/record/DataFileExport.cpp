#include "DataFileExport.h"

#include "DataFileKind.h"
#include "ExclusiveFile.h"
#include "ExportTarget.h"
#include "ReadingsTable.h"
#include "SaveLeftovers.h"
#include "TableError.h"
#include "TableExport.h"
#include "TextExport.h"

#include <QFileInfo>

#include <new>
#include <span>

namespace {

void writeInPlaceOf(const ExportTarget& target, std::span<const char> bytes,
                    const SaveHook& saveHook) {
    const mode_t* mode = target.keptMode() ? &*target.keptMode() : nullptr;
    ExclusiveFile written =
        ExclusiveFile::write(target.filePath(), bytes, saveHook, ExclusiveFile::Existing::Replace,
                             mode, ExclusiveFile::Copy::Export);
    written.close();
}

// Copies that killed exports left in the target's folder go before this one is written; what
// was removed is said after the outcome's own words.
QString withRemoved(const QString& message, const QString& removed) {
    if (removed.isEmpty())
        return message;
    return message.isEmpty() ? removed : message + QLatin1Char('\n') + removed;
}

ExportResult failed(const QString& path, const QString& reason) {
    return {ExportResult::Status::Failed, DataFileExport::failedMessage(path, reason)};
}

} // namespace

QString DataFileExport::savedMessage(const QString& path) {
    return QStringLiteral("save table to specified file: ") + path + QStringLiteral(" Scuss!");
}

QString DataFileExport::failedMessage(const QString& path, const QString& reason) {
    const QString message = QStringLiteral("Could not save table to specified file: ") + path;
    return reason.isEmpty() ? message : message + QLatin1Char('\n') + reason;
}

ExportResult DataFileExport::save(const ReadingsTable& table, const QString& path,
                                  const ProgressCallback& progress) {
    return dataFileKindFor(path) == DataFileKind::Table ? CopyTableTo(table, path, progress)
                                                        : SaveTableAsText(table, path, progress);
}

ExportResult DataFileExport::SaveTableAsText(const ReadingsTable& table, const QString& path,
                                             const ProgressCallback& progress) {
    try {
        const ExportTarget target = ExportTarget::check(path, table.filePath());
        const std::optional<QByteArray> text =
            TextExport::build(TableSnapshot::of(table), progress);
        if (!text)
            return {ExportResult::Status::Cancelled, {}};
        const QString removed =
            SaveLeftovers::removeExportCopies(QFileInfo(target.filePath()).absolutePath());
        writeInPlaceOf(target, std::span<const char>(text->constData(), text->size()),
                       table.saveHook());
        return {ExportResult::Status::Saved, withRemoved(savedMessage(path), removed)};
    } catch (const TableError& error) {
        return failed(path, error.message());
    } catch (const std::bad_alloc&) {
        return failed(path, QStringLiteral("Not enough memory."));
    }
}

ExportResult DataFileExport::CopyTableTo(const ReadingsTable& table, const QString& path,
                                         const ProgressCallback& progress) {
    try {
        const ExportTarget target = ExportTarget::check(path, table.filePath());
        // A table that another program holds open is not replaced under it.
        ExclusiveFile previous;
        if (target.keptMode())
            previous = ExclusiveFile::open(target.filePath());
        const std::optional<std::vector<char>> image = TableExport::build(
            TableSnapshot::of(table), QFileInfo(target.filePath()).fileName(), progress);
        if (!image)
            return {ExportResult::Status::Cancelled, {}};
        const QString removed =
            SaveLeftovers::removeExportCopies(QFileInfo(target.filePath()).absolutePath());
        writeInPlaceOf(target, *image, table.saveHook());
        return {ExportResult::Status::Saved, withRemoved({}, removed)};
    } catch (const TableError& error) {
        return failed(path, error.message());
    } catch (const std::bad_alloc&) {
        return failed(path, QStringLiteral("Not enough memory."));
    }
}
