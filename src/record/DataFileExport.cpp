#include "DataFileExport.h"

#include "DataFileKind.h"
#include "ExclusiveFile.h"
#include "ExportTarget.h"
#include "FileError.h"
#include "ParadoxError.h"
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
    return writeNow(prepare(table, path, progress));
}

std::variant<ExportResult, PreparedExport>
DataFileExport::prepare(const ReadingsTable& table, const QString& path,
                        const ProgressCallback& progress) {
    return prepareAs(table, path, dataFileKindFor(path) != DataFileKind::Table, progress);
}

ExportResult DataFileExport::writeNow(std::variant<ExportResult, PreparedExport> prepared) {
    if (ExportResult* result = std::get_if<ExportResult>(&prepared))
        return *result;
    return std::get<PreparedExport>(prepared).write();
}

std::variant<ExportResult, PreparedExport>
DataFileExport::prepareAs(const ReadingsTable& table, const QString& path, bool asText,
                          const ProgressCallback& progress) {
    PreparedExport prepared;
    prepared.m_path = path;
    prepared.m_isText = asText;
    prepared.m_saveHook = table.saveHook();
    try {
        prepared.m_target = ExportTarget::check(path, table.filePath());
        if (prepared.m_isText) {
            std::optional<QByteArray> text = TextExport::build(TableSnapshot::of(table), progress);
            if (!text)
                return ExportResult{ExportResult::Status::Cancelled, {}};
            prepared.m_text = std::move(*text);
        } else {
            // A table that another program holds open is not replaced under it.
            if (prepared.m_target.keptMode())
                prepared.m_previous = ExclusiveFile::open(prepared.m_target.filePath());
            std::optional<std::vector<char>> image =
                TableExport::build(TableSnapshot::of(table),
                                   QFileInfo(prepared.m_target.filePath()).fileName(), progress);
            if (!image)
                return ExportResult{ExportResult::Status::Cancelled, {}};
            prepared.m_image = std::move(*image);
        }
    } catch (const FileError& error) {
        return failed(path, QString::fromStdString(error.what()));
    } catch (const ParadoxError& error) {
        return failed(path, error.message());
    } catch (const TableError& error) {
        return failed(path, error.message());
    } catch (const std::bad_alloc&) {
        return failed(path, QStringLiteral("Not enough memory."));
    }
    return prepared;
}

ExportResult PreparedExport::write() {
    try {
        const QString removed =
            SaveLeftovers::removeExportCopies(QFileInfo(m_target.filePath()).absolutePath());
        if (m_isText) {
            writeInPlaceOf(m_target, std::span<const char>(m_text.constData(), m_text.size()),
                           m_saveHook);
            return {ExportResult::Status::Saved,
                    withRemoved(DataFileExport::savedMessage(m_path), removed)};
        }
        writeInPlaceOf(m_target, m_image, m_saveHook);
        m_previous.close();
        return {ExportResult::Status::Saved, withRemoved({}, removed)};
    } catch (const ParadoxError& error) {
        return failed(m_path, error.message());
    } catch (const TableError& error) {
        return failed(m_path, error.message());
    } catch (const std::bad_alloc&) {
        return failed(m_path, QStringLiteral("Not enough memory."));
    }
}
