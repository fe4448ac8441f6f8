#pragma once

#include <QSizeF>
#include <QString>

#include <vector>

// One text placed on a report page. Positions are millimetres from the paper's top-left corner;
// y is the top of the text's line.
struct PlacedText {
    enum class Anchor : quint8 { Left, Centre }; // x is the text's left edge, or its middle

    double x = 0;
    double y = 0;
    QString text;
    Anchor anchor = Anchor::Left;

    friend bool operator==(const PlacedText&, const PlacedText&) = default;
};

struct ReportPage {
    std::vector<PlacedText> texts;

    friend bool operator==(const ReportPage&, const ReportPage&) = default;
};

// The prepared pages of a report, ready to be drawn, printed or saved.
struct ReportDocument {
    QSizeF pageSize{210.0, 297.0}; // millimetres, A4 portrait
    std::vector<ReportPage> pages;

    friend bool operator==(const ReportDocument&, const ReportDocument&) = default;
};

// A report's pages, each laid out when it is asked for, so that drawing, printing or saving a
// report of any length holds one page at a time.
class ReportPages {
public:
    virtual ~ReportPages() = default;
    [[nodiscard]] virtual QSizeF pageSize() const = 0; // millimetres
    [[nodiscard]] virtual qsizetype pageCount() const = 0;
    // index from 0, below pageCount().
    [[nodiscard]] virtual ReportPage page(qsizetype index) const = 0;
};

// Pages already laid out, such as those of a page file; the document must outlive the view.
class DocumentPages final : public ReportPages {
public:
    explicit DocumentPages(const ReportDocument& document) : m_document(document) {}
    [[nodiscard]] QSizeF pageSize() const override { return m_document.pageSize; }
    [[nodiscard]] qsizetype pageCount() const override {
        return static_cast<qsizetype>(m_document.pages.size());
    }
    [[nodiscard]] ReportPage page(qsizetype index) const override {
        return m_document.pages[static_cast<std::size_t>(index)];
    }

private:
    const ReportDocument& m_document;
};
