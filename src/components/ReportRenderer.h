#pragma once

#include "LongWork.h"
#include "ReportDocument.h"

#include <QFont>
#include <QString>

class QPainter;
class QPrinter;

// Draws prepared report pages: every text in the report font, black, at its place in
// millimetres. The same drawing serves the preview, the PDF file and the printer.
class ReportRenderer {
public:
    enum class Status { Done, Cancelled, Failed };
    struct Result {
        Status status = Status::Failed;
        QString error; // for the user, when Failed
    };

    // Arial 10 pt. Where Arial is missing the metric-compatible Liberation Sans stands in, so
    // texts take the same room as on a system that has Arial.
    [[nodiscard]] static QFont reportFont();

    // Draws one page with the painter's origin at the paper's top-left corner, at the given
    // number of device pixels per millimetre. Does not fill the background.
    static void paintPage(QPainter& painter, const ReportPage& page, double pixelsPerMm);

    // Writes every page to a PDF file, laying out each when it is drawn. The file appears whole
    // or not at all: it is written beside path and renamed into place, and a cancelled or failed
    // save leaves none.
    [[nodiscard]] static Result savePdf(const ReportPages& pages, const QString& path,
                                        const ProgressCallback& progress = {});
    [[nodiscard]] static Result savePdf(const ReportDocument& document, const QString& path,
                                        const ProgressCallback& progress = {});

    // Prints every page on the printer as it is set up (paper corner as origin).
    [[nodiscard]] static Result print(const ReportPages& pages, QPrinter& printer,
                                      const ProgressCallback& progress = {});
};
