#include "ReadingsTableModel.h"

#include "ReadingsTable.h"

#include <algorithm>
#include <numeric>

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
    m_fields.assign(kColumns, -1);
    m_readingsColumns = true;
    if (!m_table.isOpen())
        return;
    for (int c = 0; c < kColumns; ++c)
        m_fields[c] = m_table.fieldIndex(QString::fromLatin1(kFieldNames[c]));
    if (std::find(m_fields.begin(), m_fields.end(), -1) == m_fields.end())
        return;
    m_readingsColumns = false;
    m_fields.resize(static_cast<std::size_t>(m_table.fieldCount()));
    std::iota(m_fields.begin(), m_fields.end(), 0);
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
    return parent.isValid() ? 0 : static_cast<int>(m_fields.size());
}

QVariant ReadingsTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_rows || index.column() >= columnCount())
        return {};
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(m_readingsColumns ? kAlignments[index.column()]
                                                     : Qt::AlignLeft | Qt::AlignVCenter);
    }
    if (role != Qt::DisplayRole)
        return {};
    const int field = m_fields[static_cast<std::size_t>(index.column())];
    return field < 0 ? QVariant() : QVariant(m_table.text(index.row(), field));
}

QVariant ReadingsTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    if (section < 0 || section >= columnCount())
        return {};
    if (m_readingsColumns)
        return QString::fromLatin1(kFieldNames[section]);
    return m_table.fieldName(m_fields[static_cast<std::size_t>(section)]);
}
