#include "ReadingsGrid.h"

#include "CellTextDelegate.h"
#include "PanelStyle.h"
#include "RowIndicatorHeader.h"
#include "SegraDelegate.h"

#include <QHeaderView>

#include <algorithm>

using namespace PanelStyle;

namespace {

// Widest a column of another program's table starts, so that a long text field leaves room for
// the others.
constexpr int kWidestForeignColumn = 150;

} // namespace

ReadingsGrid::ReadingsGrid(QWidget* parent) : StatusGrid(parent) {
    place(this, "DBGrid1", 3, 264, 299, 145);
    setVerticalHeader(new RowIndicatorHeader(this));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    // Times like "08:29:21" fit the 53-pixel column through the cells' narrow margins.
    setFont(arialFont(12, false));
    setTextElideMode(Qt::ElideNone);
    QPalette pal = palette();
    pal.setColor(QPalette::Base, QColor(202, 255, 228));
    setPalette(pal);
    horizontalHeader()->setFont(windowFont(11, false));
    horizontalHeader()->setMinimumSectionSize(20);
    horizontalHeader()->setHighlightSections(false);
    verticalHeader()->setDefaultSectionSize(17);
    setItemDelegate(new CellTextDelegate(this));
    // Units and the range are written in the display font, so "k*" reads as kilohm.
    for (int c : {kUnitColumn, kAutoColumn}) {
        auto* delegate = new SegraDelegate(this);
        delegate->setPixelHeight(12);
        delegate->setAlignment(c == kUnitColumn ? Qt::AlignRight | Qt::AlignVCenter
                                                : Qt::AlignCenter);
        setItemDelegateForColumn(c, delegate);
    }
    m_widths = {42, 53, 37, 52, 39, 36};
    m_delegates.assign(kColumns, nullptr);
    m_delegates[kUnitColumn] = itemDelegateForColumn(kUnitColumn);
    m_delegates[kAutoColumn] = itemDelegateForColumn(kAutoColumn);
}

void ReadingsGrid::keepReadingsColumns() {
    for (int c = 0; c < kColumns; ++c) {
        m_widths[std::size_t(c)] = horizontalHeader()->sectionSize(c);
        m_delegates[std::size_t(c)] = itemDelegateForColumn(c);
    }
}

void ReadingsGrid::showColumns(bool readings, bool wereReadings) {
    if (readings) {
        // The designed widths and the display-font columns come back with a table of readings.
        for (int c = 0; c < kColumns && !wereReadings; ++c) {
            setColumnWidth(c, m_widths[std::size_t(c)]);
            setItemDelegateForColumn(c, m_delegates[std::size_t(c)]);
        }
        return;
    }
    for (int c = 0; c < kColumns; ++c)
        setItemDelegateForColumn(c, nullptr);
    resizeColumnsToContents();
    for (int c = 0; c < model()->columnCount(); ++c)
        setColumnWidth(c, std::min(columnWidth(c), kWidestForeignColumn));
}
