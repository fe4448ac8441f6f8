#include "ReportLayout.h"

#include "TableError.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr std::array<const char*, 6> kFields{"No", "Time", "DC/AC", "Value", "Unit", "AUTO"};
// Left edges within a band; the detail texts of DC/AC and Unit sit a little off their headings.
constexpr std::array<double, 6> kHeadingX{8.47, 33.87, 64.29, 99.48, 132.29, 162.98};
constexpr std::array<double, 6> kDetailX{8.47, 33.87, 65.62, 99.48, 131.23, 162.98};
constexpr double kTitleTop = 2.12;
constexpr double kHeadingTop = 4.23;
constexpr double kDetailTop = 2.12;
constexpr double kFooterLeft = 8.47;
constexpr double kFooterTop = 4.23;

using L = ReportLayout;
constexpr double kBandLeft = L::kMargin;
constexpr double kPrintableWidth = L::kPageWidth - 2 * L::kMargin;
constexpr double kColumnBandTop = L::kMargin + L::kTitleBand;
constexpr double kFirstDetailTop = kColumnBandTop + L::kColumnBand;
constexpr double kFooterBandTop = L::kPageHeight - L::kMargin - L::kFooterBand;

ReportPage pageFrame() {
    ReportPage page;
    page.texts.push_back({kBandLeft + kPrintableWidth / 2, L::kMargin + kTitleTop, L::title(),
                          PlacedText::Anchor::Centre});
    for (std::size_t i = 0; i < kFields.size(); ++i) {
        page.texts.push_back(
            {kBandLeft + kHeadingX[i], kColumnBandTop + kHeadingTop, QLatin1String(kFields[i])});
    }
    return page;
}

void addFooter(ReportPage& page) {
    page.texts.push_back({kBandLeft + kFooterLeft, kFooterBandTop + kFooterTop, L::footer()});
}

// A page of `lines` detail lines, the line at each place given by rowAt, between the page's
// bands.
template <typename RowAt> ReportPage layPage(qsizetype lines, RowAt rowAt) {
    ReportPage page = pageFrame();
    page.texts.reserve(page.texts.size() + std::size_t(lines) * kFields.size() + 1);
    for (qsizetype line = 0; line < lines; ++line) {
        const double top = kFirstDetailTop + double(line) * L::kDetailBand + kDetailTop;
        const L::Row row = rowAt(line);
        for (std::size_t i = 0; i < row.size(); ++i)
            page.texts.push_back({kBandLeft + kDetailX[i], top, row[i]});
    }
    addFooter(page);
    return page;
}

// Records [first, first + count) of rows, as many pages as they fill.
template <typename RowAt> void layPages(qsizetype count, RowAt rowAt, ReportDocument& document) {
    const qsizetype perPage = L::detailLinesPerPage();
    for (qsizetype first = 0; first < count; first += perPage) {
        document.pages.push_back(layPage(std::min(perPage, count - first),
                                         [&](qsizetype line) { return rowAt(first + line); }));
    }
}

// The report's fields in the table, in the order of the columns.
std::array<int, kFields.size()> reportFields(const TableSnapshot& table) {
    std::array<int, kFields.size()> fields{};
    for (std::size_t i = 0; i < kFields.size(); ++i) {
        fields[i] = table.layout.indexOf(QString::fromLatin1(kFields[i]));
        if (fields[i] < 0) {
            throw TableError(QStringLiteral("Field '%1' not found in the table '%2'.")
                                 .arg(QLatin1String(kFields[i]), table.path));
        }
    }
    return fields;
}

// The report of a table snapshot, a page laid out from its records whenever it is asked for.
class TablePages final : public ReportPages {
public:
    explicit TablePages(const TableSnapshot& table)
        : m_table(table), m_fields(reportFields(table)) {}

    [[nodiscard]] QSizeF pageSize() const override { return {L::kPageWidth, L::kPageHeight}; }
    [[nodiscard]] qsizetype pageCount() const override { return L::pageCount(m_table.count); }
    [[nodiscard]] ReportPage page(qsizetype index) const override {
        const qsizetype perPage = L::detailLinesPerPage();
        const qsizetype first = index * perPage;
        return layPage(std::min(perPage, m_table.count - first),
                       [&](qsizetype line) { return row(first + line); });
    }

    [[nodiscard]] L::Row row(qsizetype index) const {
        const char* record = m_table.records.at(index);
        L::Row texts;
        for (std::size_t i = 0; i < m_fields.size(); ++i)
            texts[i] = m_table.layout.text(record, m_fields[i]);
        return texts;
    }

private:
    TableSnapshot m_table;
    std::array<int, kFields.size()> m_fields;
};

} // namespace

int ReportLayout::detailLinesPerPage() {
    const double space = kPageHeight - 2 * kMargin - kTitleBand - kColumnBand - kFooterBand;
    // A hair of tolerance, so that rounding in the sum never costs a line that fits exactly.
    return static_cast<int>(std::floor(space / kDetailBand + 1e-9));
}

qsizetype ReportLayout::pageCount(qsizetype records) {
    const int lines = detailLinesPerPage();
    return (records + lines - 1) / lines;
}

std::unique_ptr<ReportPages> ReportLayout::pages(const TableSnapshot& table) {
    return std::make_unique<TablePages>(table);
}

std::optional<ReportDocument> ReportLayout::build(const TableSnapshot& table,
                                                  const ProgressCallback& progress) {
    const TablePages pages(table);
    ReportDocument document;
    ProgressTicker ticker(progress, table.count);
    const qsizetype perPage = detailLinesPerPage();
    // Progress counts records, as the other work over the table does.
    for (qsizetype row = 0; row < table.count; ++row) {
        if (!ticker.step(row))
            return std::nullopt;
        if (row % perPage == 0)
            document.pages.push_back(pages.page(row / perPage));
    }
    if (!ticker.finished())
        return std::nullopt;
    return document;
}

ReportDocument ReportLayout::build(const std::vector<Row>& rows) {
    ReportDocument document;
    layPages(
        static_cast<qsizetype>(rows.size()),
        [&](qsizetype index) { return rows[std::size_t(index)]; }, document);
    return document;
}
