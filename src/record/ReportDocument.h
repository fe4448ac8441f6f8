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
