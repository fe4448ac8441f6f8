#pragma once

#include <QtGlobal>

// The trend chart's pages: which points the chart shows, which page buttons are enabled and
// whether the chart follows its newest page. A page holds `pointsPerPage` points (0: one page
// holds them all) and a partly filled last page keeps the width of a full one.
//
// Starting afresh empties the chart but keeps the page number. While the chart follows its
// newest page that is the only page there is; a page chosen by hand is kept, shown empty until
// the points reach it, so that nothing moves by itself. Next goes no further than the last page
// there is, and changing the points per page brings the page back within the pages there are.
class ChartPaging {
public:
    // The X values the current page shows: `first` .. `first` + `width` - 1.
    struct Span {
        qint64 first = 0;
        qint64 width = 0;
        bool operator==(const Span&) const = default;
    };

    [[nodiscard]] static qint64 pageCount(qint64 points, int pointsPerPage);

    [[nodiscard]] qint64 pageCount() const { return pageCount(points, perPage); }
    [[nodiscard]] qint64 page() const; // from 1
    [[nodiscard]] Span span() const;
    [[nodiscard]] int pointsPerPage() const { return perPage; }
    [[nodiscard]] qint64 pointCount() const { return points; }

    [[nodiscard]] bool firstPreviousEnabled() const { return firstPrevious; } // BtFirst, BTPrevious
    [[nodiscard]] bool nextLastEnabled() const { return nextLast; }           // BtNext, BTlast
    [[nodiscard]] bool followsLastPage() const { return follow; }             // FollowLastPage

    // The number of points in the series, after a point is added or the series start afresh.
    void setPointCount(qint64 count);
    // Refuses a negative count; otherwise clamps the page to the new number of pages.
    [[nodiscard]] bool setPointsPerPage(int count);

    void first();
    void previous();
    void next();
    void last(); // and follow the newest page from now on
    // The per-frame turn to the newest page while following: the buttons stay as they are.
    void showLastPage();

private:
    qint64 points = 0;
    int perPage = 100;
    qint64 storedPage = 1; // kept while the chart starts afresh
    bool firstPrevious = true;
    bool nextLast = true;
    bool follow = true;
};
