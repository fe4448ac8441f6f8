#pragma once

#include "LongWork.h"
#include "ReportDocument.h"
#include "TableSnapshot.h"

#include <QString>

#include <array>
#include <memory>
#include <optional>

// The printed report of a table of readings laid out on A4 portrait pages with 10 mm margins:
// on every page a title band, a column header band and a footer band at the foot of the
// printable area, and between them one detail line per record, in table order. Only the texts
// and their places are decided here; drawing them is the report component's work.
class ReportLayout {
public:
    // One record's texts in the order of the columns: No, Time, DC/AC, Value, Unit, AUTO.
    using Row = std::array<QString, 6>;

    static constexpr double kPageWidth = 210.0;
    static constexpr double kPageHeight = 297.0;
    static constexpr double kMargin = 10.0;
    static constexpr double kTitleBand = 10.58;
    static constexpr double kColumnBand = 10.58;
    static constexpr double kDetailBand = 6.61;
    static constexpr double kFooterBand = 10.58;

    // The lines the space between the header bands and the footer band holds.
    [[nodiscard]] static int detailLinesPerPage();
    [[nodiscard]] static qsizetype pageCount(qsizetype records);

    // The pages of the records the snapshot holds, each laid out when it is asked for; they read
    // the table through the snapshot, so the table must be neither closed nor emptied while they
    // live. An empty table gives no pages. Throws TableError when the table lacks one of the
    // report's fields.
    [[nodiscard]] static std::unique_ptr<ReportPages> pages(const TableSnapshot& table);

    // Every page laid out at once. An empty table gives a document without pages. Empty when
    // progress asked to stop; throws TableError when the table lacks one of the report's fields.
    [[nodiscard]] static std::optional<ReportDocument> build(const TableSnapshot& table,
                                                             const ProgressCallback& progress = {});

    // The same for records already turned into texts.
    [[nodiscard]] static ReportDocument build(const std::vector<Row>& rows);

    [[nodiscard]] static QString title() { return QStringLiteral("The Data Print Title"); }
    [[nodiscard]] static QString footer() { return QStringLiteral("The Data Print Foot"); }
};
