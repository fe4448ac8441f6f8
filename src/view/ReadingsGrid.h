#pragma once

#include "StatusGrid.h"

#include <vector>

class QAbstractItemDelegate;

// The grid under the recording row: a table of readings in its designed columns (the unit and
// the range in the display font), or another program's table in columns sized to their contents.
// Each stored reading becomes its selected row; the status place lies below its rows.
class ReadingsGrid : public StatusGrid {
    Q_OBJECT
public:
    // The columns of a table of readings: No, Time, DC/AC, Value, Unit, AUTO.
    static constexpr int kColumns = 6;
    static constexpr int kUnitColumn = 4;
    static constexpr int kAutoColumn = 5;

    explicit ReadingsGrid(QWidget* parent);

    // Before the model turns to another table: the widths the user gave the readings' columns
    // are kept for when a table of readings shows again.
    void keepReadingsColumns();
    // After it turned: the kept columns of readings, or columns sized to another table's texts.
    void showColumns(bool readings, bool wereReadings);

private:
    std::vector<int> m_widths;
    std::vector<QAbstractItemDelegate*> m_delegates;
};
