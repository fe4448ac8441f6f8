#include "ChartPaging.h"

#include <algorithm>

qint64 ChartPaging::pageCount(qint64 points, int pointsPerPage) {
    if (pointsPerPage <= 0)
        return 1;
    return std::max<qint64>(1, (points + pointsPerPage - 1) / pointsPerPage);
}

qint64 ChartPaging::page() const {
    if (follow || perPage <= 0)
        return std::clamp<qint64>(storedPage, 1, pageCount());
    return std::max<qint64>(storedPage, 1);
}

ChartPaging::Span ChartPaging::span() const {
    if (perPage <= 0)
        return {0, points};
    return {(page() - 1) * perPage, perPage};
}

void ChartPaging::setPointCount(qint64 count) {
    points = std::max<qint64>(0, count);
}

bool ChartPaging::setPointsPerPage(int count) {
    if (count < 0)
        return false;
    perPage = count;
    storedPage = std::clamp<qint64>(storedPage, 1, pageCount());
    return true;
}

void ChartPaging::first() {
    storedPage = 1;
    firstPrevious = false;
    nextLast = true;
    follow = false;
}

void ChartPaging::previous() {
    storedPage = page();
    if (storedPage == 1)
        firstPrevious = false;
    else
        --storedPage;
    nextLast = true;
    follow = false;
}

void ChartPaging::next() {
    storedPage = page();
    if (storedPage >= pageCount())
        nextLast = false;
    else
        ++storedPage;
    firstPrevious = true;
    follow = false;
}

void ChartPaging::last() {
    storedPage = pageCount();
    firstPrevious = true;
    nextLast = false;
    follow = true;
}

void ChartPaging::showLastPage() {
    storedPage = pageCount();
}
