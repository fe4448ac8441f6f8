#pragma once

#include "ReportDocument.h"

#include <QByteArray>
#include <QString>

#include <optional>

// Prepared report pages saved in a file of this program's own ("*.vrp"), so that a preview can
// show them again later exactly as they were laid out.
class ReportPageFile {
public:
    struct Loaded {
        std::optional<ReportDocument> document;
        QString error; // for the user, when there is no document
    };

    static constexpr const char* kSuffix = "vrp";

    // Empty on success, otherwise the reason for the user. The file appears whole or not at all;
    // the pages are laid out and written one at a time.
    [[nodiscard]] static QString save(const ReportPages& pages, const QString& path);
    [[nodiscard]] static QString save(const ReportDocument& document, const QString& path);
    [[nodiscard]] static Loaded load(const QString& path);

    [[nodiscard]] static QByteArray encode(const ReportDocument& document);
    // Anything but a whole, well-formed page file is refused with a reason.
    [[nodiscard]] static Loaded decode(const QByteArray& bytes);
};
