#pragma once

#include "ExclusiveFile.h"
#include "ExportTarget.h"
#include "LongWork.h"
#include "SaveHook.h"

#include <QByteArray>
#include <QString>

#include <variant>
#include <vector>

class ReadingsTable;

// The outcome of saving a data file, with the text the user is shown (empty when nothing is
// to be said).
struct ExportResult {
    enum class Status { Saved, Cancelled, Failed };
    Status status = Status::Failed;
    QString message;
};

// A data file built in memory, ready to be written: write() does what waits on the disk (the copy
// beside the target, its sync and the rename), so it may run on another thread; it touches
// nothing of the table.
class PreparedExport {
public:
    [[nodiscard]] ExportResult write();

private:
    friend class DataFileExport;

    QString m_path; // as the user chose it
    ExportTarget m_target;
    ExclusiveFile m_previous; // a table being replaced, held so that no one opens it meanwhile
    bool m_isText = false;
    SaveHook m_saveHook;
    QByteArray m_text;
    std::vector<char> m_image;
};

// Saving the table of readings as a data file: tab-separated text or a new Paradox table,
// covering every record (saved and pending) the table held when the command started. The new
// file is written beside the target and renamed into place, so a failed or cancelled save
// leaves the target as it was and no partial file behind. The table's save hook is called
// between the steps of the write.
class DataFileExport {
public:
    // Text or table by the name's extension (".db" in any case is a table).
    [[nodiscard]] static ExportResult save(const ReadingsTable& table, const QString& path,
                                           const ProgressCallback& progress = {});
    // As save(), up to the write: the outcome when it ends early (refused, failed, cancelled),
    // else the file to write.
    [[nodiscard]] static std::variant<ExportResult, PreparedExport>
    prepare(const ReadingsTable& table, const QString& path, const ProgressCallback& progress = {});

    [[nodiscard]] static QString savedMessage(const QString& path);
    [[nodiscard]] static QString failedMessage(const QString& path, const QString& reason);

private:
    [[nodiscard]] static std::variant<ExportResult, PreparedExport>
    prepareAs(const ReadingsTable& table, const QString& path, bool asText,
              const ProgressCallback& progress);
    [[nodiscard]] static ExportResult writeNow(std::variant<ExportResult, PreparedExport> prepared);
};
