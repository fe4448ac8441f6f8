#pragma once

#include <QAbstractTableModel>

#include <vector>

class ReadingsTable;

// The grid's view of the table of readings: saved and pending records in table order, read on
// demand, so a table of a million rows costs the grid no more than the rows it shows. A table of
// readings shows the six reading columns; any other table (one written by other software, opened
// as a data file) shows its own fields, all of them, in its own order.
class ReadingsTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kColumns = 6; // No, Time, DC/AC, Value, Unit, AUTO of a table of readings
    static constexpr int kUnitColumn = 4;
    static constexpr int kAutoColumn = 5;

    explicit ReadingsTableModel(const ReadingsTable& table, QObject* parent = nullptr);

    // Follows the table after it changed: appended rows are inserted, anything else (opened,
    // closed, emptied) reloads the view.
    void refresh();
    // Reloads the view (the table was opened, closed or emptied).
    void reload();

    // True while the columns are the six of a table of readings (also while no table is open).
    [[nodiscard]] bool showsReadingsColumns() const { return m_readingsColumns; }

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                      int role) const override;

private:
    void mapFields();

    const ReadingsTable& m_table;
    int m_rows = 0;
    std::vector<int> m_fields = std::vector<int>(kColumns, -1); // the table's field per column
    bool m_readingsColumns = true;
};
