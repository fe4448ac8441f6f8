#pragma once

#include "LongWork.h"

#include <QString>

class ReadingsTable;

// The outcome of saving a data file, with the text the user is shown (empty when nothing is
// to be said).
struct ExportResult {
    enum class Status { Saved, Cancelled, Failed };
    Status status = Status::Failed;
    QString message;
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

    [[nodiscard]] static ExportResult SaveTableAsText(const ReadingsTable& table,
                                                      const QString& path,
                                                      const ProgressCallback& progress = {});
    [[nodiscard]] static ExportResult CopyTableTo(const ReadingsTable& table, const QString& path,
                                                  const ProgressCallback& progress = {});

    [[nodiscard]] static QString savedMessage(const QString& path);
    [[nodiscard]] static QString failedMessage(const QString& path, const QString& reason);
};
