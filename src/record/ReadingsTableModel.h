#pragma once

#include <QAbstractTableModel>

#include <array>

class ReadingsTable;

// The grid's view of the table of readings: saved and pending records in table order, read on
// demand, so a table of a million rows costs the grid no more than the rows it shows.
class ReadingsTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kColumns = 6; // No, Time, DC/AC, Value, Unit, AUTO
    static constexpr int kUnitColumn = 4;
    static constexpr int kAutoColumn = 5;

    explicit ReadingsTableModel(const ReadingsTable& table, QObject* parent = nullptr);

    // Follows the table after it changed: appended rows are inserted, anything else (opened,
    // closed, emptied) reloads the view.
    void refresh();
    // Reloads the view (the table was opened, closed or emptied).
    void reload();

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                      int role) const override;

private:
    void mapFields();

    const ReadingsTable& m_table;
    int m_rows = 0;
    std::array<int, kColumns> m_fields{-1, -1, -1, -1, -1, -1};
};
