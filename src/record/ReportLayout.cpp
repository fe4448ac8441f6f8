#include "ReportLayout.h"

#include "TableError.h"

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

// Lays out rows one at a time; a page is closed with its footer when it is full or at the end.
class PageBuilder {
public:
    void add(const L::Row& row) {
        if (m_line == L::detailLinesPerPage())
            closePage();
        if (m_line == 0)
            m_document.pages.push_back(pageFrame());
        const double top = kFirstDetailTop + m_line * L::kDetailBand + kDetailTop;
        ReportPage& page = m_document.pages.back();
        for (std::size_t i = 0; i < row.size(); ++i)
            page.texts.push_back({kBandLeft + kDetailX[i], top, row[i]});
        ++m_line;
    }

    ReportDocument finish() {
        if (m_line > 0)
            closePage();
        return std::move(m_document);
    }

private:
    void closePage() {
        addFooter(m_document.pages.back());
        m_line = 0;
    }

    ReportDocument m_document;
    int m_line = 0;
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

std::optional<ReportDocument> ReportLayout::build(const TableSnapshot& table,
                                                  const ProgressCallback& progress) {
    std::array<int, kFields.size()> fields{};
    for (std::size_t i = 0; i < kFields.size(); ++i) {
        fields[i] = table.layout.indexOf(QString::fromLatin1(kFields[i]));
        if (fields[i] < 0) {
            throw TableError(QStringLiteral("Field '%1' not found in the table '%2'.")
                                 .arg(QLatin1String(kFields[i]), table.path));
        }
    }
    PageBuilder builder;
    ProgressTicker ticker(progress, table.count);
    for (qsizetype row = 0; row < table.count; ++row) {
        if (!ticker.step(row))
            return std::nullopt;
        const char* record = table.records.at(row);
        Row texts;
        for (std::size_t i = 0; i < fields.size(); ++i)
            texts[i] = table.layout.text(record, fields[i]);
        builder.add(texts);
    }
    if (!ticker.finished())
        return std::nullopt;
    return builder.finish();
}

ReportDocument ReportLayout::build(const std::vector<Row>& rows) {
    PageBuilder builder;
    for (const Row& row : rows)
        builder.add(row);
    return builder.finish();
}
