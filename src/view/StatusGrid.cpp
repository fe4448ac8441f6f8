#include "StatusGrid.h"

#include "StatusPlace.h"

#include <QEvent>
#include <QHeaderView>
#include <QScopedValueRollback>
#include <QScrollBar>

#include <algorithm>

StatusGrid::StatusGrid(QWidget* parent)
    : AppendingTableView(parent), m_status(new StatusPlace(this)) {
    connect(m_status, &StatusPlace::changed, this, &StatusGrid::updateGeometries);
}

// The table view gives the viewport the margins of its headers here, and sizes its scroll ranges
// for the viewport it then has; the status lines take the bottom margin after it.
void StatusGrid::updateGeometries() {
    if (m_placing)
        return;
    const QScopedValueRollback placing(m_placing, true);
    // A grid that shows its last row follows the newest reading; when a status line takes the
    // bottom row away, the rows move up under it rather than hide the reading the user looks at
    // when the meter stops.
    const QScrollBar* bar = verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    // The view's own round gives the rows the whole height for a moment, and the status lines take
    // it back. Were the scroll bar to follow that moment, it would go, come back with the lines,
    // and lay the view out again, for ever; so it keeps its place until the lines have theirs.
    const Qt::ScrollBarPolicy policy = verticalScrollBarPolicy();
    const bool hold = policy == Qt::ScrollBarAsNeeded &&
                      (m_status->heightNeeded() > 0 || viewportMargins().bottom() > 0);
    if (hold)
        setVerticalScrollBarPolicy(verticalScrollBar()->isVisible() ? Qt::ScrollBarAlwaysOn
                                                                    : Qt::ScrollBarAlwaysOff);
    // A second round when the shorter rows' area made the vertical scroll bar appear or go, which
    // changes the width the view's own round worked with.
    for (int round = 0; round < 2; ++round) {
        const bool barShown = verticalScrollBar()->isVisible();
        AppendingTableView::updateGeometries();
        makeRoomForStatus();
        if (verticalScrollBar()->isVisible() == barShown)
            break;
    }
    if (hold)
        setVerticalScrollBarPolicy(policy);
    if (atEnd)
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    placeStatus();
}

void StatusGrid::makeRoomForStatus() {
    const int height = m_status->heightNeeded();
    QMargins margins = viewportMargins();
    if (margins.bottom() == height)
        return;
    margins.setBottom(height);
    setViewportMargins(margins);
    if (height == 0)
        return;
    // The row indicator scrolls with the rows and stops where they stop: it ends where they end.
    QHeaderView* indicator = verticalHeader();
    QRect bounds = indicator->geometry();
    bounds.setHeight(viewport()->height());
    indicator->setGeometry(bounds);
    // The rows' area is lower than the view sized its range for: the rows that fit at the bottom
    // make the last page, counted as the view counts them.
    const QHeaderView* rows = indicator;
    const int areaHeight = viewport()->height();
    int fit = 0;
    for (int used = 0, visual = rows->count() - 1; visual >= 0; --visual) {
        const int logical = rows->logicalIndex(visual);
        if (rows->isSectionHidden(logical))
            continue;
        used += rows->sectionSize(logical);
        if (used > areaHeight)
            break;
        ++fit;
    }
    fit = std::max(fit, 1);
    const int shownRows = rows->count() - rows->hiddenSectionCount();
    verticalScrollBar()->setPageStep(fit);
    verticalScrollBar()->setRange(0, std::max(shownRows - fit, 0));
}

bool StatusGrid::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::Resize || event->type() == QEvent::Move)
        placeStatus();
    return AppendingTableView::viewportEvent(event);
}

// Right below the rows, from the grid's left edge to the vertical scroll bar: above the
// horizontal scroll bar. In front of the rows and headers, yet just behind the vertical scroll
// bar, which it does not reach: the view raises that bar at every layout, so a status place
// raised above it would have the bar moved back in front, and repainted, with every new row.
void StatusGrid::placeStatus() {
    const QRect rows = viewport()->geometry();
    const int left = frameWidth();
    m_status->setGeometry(left, rows.bottom() + 1, std::max(rows.right() + 1 - left, 0),
                          m_status->heightNeeded());
    QWidget* barBox = verticalScrollBar()->parentWidget();
    if (barBox && barBox->parentWidget() == this)
        m_status->stackUnder(barBox);
    else
        m_status->raise();
}
