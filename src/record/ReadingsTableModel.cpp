#include "ReadingsTableModel.h"

#include "ReadingsTable.h"

namespace {

const char* const kFieldNames[ReadingsTableModel::kColumns] = {"No",    "Time", "DC/AC",
                                                               "Value", "Unit", "AUTO"};
const Qt::Alignment kAlignments[ReadingsTableModel::kColumns] = {Qt::AlignLeft | Qt::AlignVCenter,
                                                                 Qt::AlignCenter,
                                                                 Qt::AlignCenter,
                                                                 Qt::AlignRight | Qt::AlignVCenter,
                                                                 Qt::AlignRight | Qt::AlignVCenter,
                                                                 Qt::AlignCenter};

} // namespace

ReadingsTableModel::ReadingsTableModel(const ReadingsTable& table, QObject* parent)
    : QAbstractTableModel(parent), m_table(table) {
    mapFields();
    m_rows = m_table.isOpen() ? static_cast<int>(m_table.recordCount()) : 0;
}

void ReadingsTableModel::mapFields() {
    for (int c = 0; c < kColumns; ++c)
        m_fields[c] =
            m_table.isOpen() ? m_table.fieldIndex(QString::fromLatin1(kFieldNames[c])) : -1;
}

void ReadingsTableModel::refresh() {
    const int rows = m_table.isOpen() ? static_cast<int>(m_table.recordCount()) : 0;
    if (rows == m_rows)
        return;
    if (rows < m_rows) {
        reload();
        return;
    }
    beginInsertRows({}, m_rows, rows - 1);
    m_rows = rows;
    endInsertRows();
}

void ReadingsTableModel::reload() {
    beginResetModel();
    mapFields();
    m_rows = m_table.isOpen() ? static_cast<int>(m_table.recordCount()) : 0;
    endResetModel();
}

int ReadingsTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rows;
}

int ReadingsTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant ReadingsTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_rows)
        return {};
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(kAlignments[index.column()]);
    if (role != Qt::DisplayRole)
        return {};
    const int field = m_fields[index.column()];
    return field < 0 ? QVariant() : QVariant(m_table.text(index.row(), field));
}

QVariant ReadingsTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    return section >= 0 && section < kColumns ? QString::fromLatin1(kFieldNames[section])
                                              : QVariant();
}
