#pragma once

#include "record/ExclusiveFile.h"
#include "record/ReadingRecord.h"
#include "record/RecordLayout.h"
#include "record/RecordStore.h"
#include "record/TableAppend.h"

#include <QString>

#include <optional>
#include <vector>

// The table of readings: one Paradox table file, held open exclusively, read whole into memory
// when opened (a table that cannot be read whole, or may not be written, opens for viewing only,
// with the reason). Appended records stay pending in memory until applyUpdates(), which adds them
// to the file in place (TableAppend) so that a save costs what it adds; emptying, and a table
// that outgrows its block size, write a new file that replaces the old one in one rename. At
// every moment the file on disk reads as a complete table. Records are numbered from 0 in table
// order, saved ones first, which gives a grid model random access to any row.
//
// Every failure throws TableError with a text for the user and leaves the table as it was.
class ReadingsTable {
public:
    // The table a new program instance opens, in the current directory.
    static QString defaultTableName() { return QStringLiteral("Velmarbdb.DB"); }

    ReadingsTable() = default;
    ~ReadingsTable() = default;
    ReadingsTable(const ReadingsTable&) = delete;
    ReadingsTable& operator=(const ReadingsTable&) = delete;

    // A path, absolute or relative to the current directory; a name without extension gets
    // ".DB". Only while the table is closed.
    void setTableName(const QString& name);
    [[nodiscard]] QString tableName() const { return m_tableName; }
    // The file the open table was read from (symbolic links resolved); empty while closed.
    [[nodiscard]] QString filePath() const { return m_path; }

    void open();
    // As open(), but a missing file is first created as an empty table of readings.
    void openOrCreate();
    // Drops pending records and releases the file.
    void close();
    [[nodiscard]] bool isOpen() const { return m_layout.has_value(); }
    // Empty when records can be appended; otherwise the reason they cannot.
    [[nodiscard]] QString readOnlyReason() const { return m_readOnlyReason; }

    [[nodiscard]] int fieldCount() const;
    [[nodiscard]] QString fieldName(int field) const;
    // Case-insensitive; -1 when the table has no such field.
    [[nodiscard]] int fieldIndex(QStringView name) const;

    // Saved and pending records.
    [[nodiscard]] qsizetype recordCount() const { return m_records.size(); }
    [[nodiscard]] qsizetype pendingCount() const { return m_records.size() - m_savedCount; }
    [[nodiscard]] QString text(qsizetype row, int field) const;

    // Appending by field name: append() starts an empty record (dropping one not yet posted),
    // the setters fill it, post() adds it to the pending records.
    void append();
    void setText(QStringView field, const QString& text);
    void setInteger(QStringView field, qint32 value);
    void setNumber(QStringView field, double value);
    void setTimeOfDay(QStringView field, qint32 msSinceMidnight);
    void post();
    void cancel();
    // Appends and posts a whole reading, or nothing if any field fails.
    void append(const ReadingRecord& reading);

    // Writes every pending record to the file; on failure they all stay pending.
    void applyUpdates();
    // Replaces the file with an empty table of the same fields and drops every record.
    void empty();

    // A cursor over the records in table order, for readers that go from first to last.
    void first() { m_cursor = 0; }
    void next();
    [[nodiscard]] bool eof() const { return m_cursor >= recordCount(); }
    [[nodiscard]] qsizetype currentRow() const { return m_cursor; }
    [[nodiscard]] QString fieldText(QStringView field) const;

    // Writes every record, saved and pending, as a new table at path (replacing a file there).
    void copyTo(const QString& path) const;

private:
    void openFile(const QString& path);
    void requireOpen() const;
    void requireWritable() const;
    [[nodiscard]] int requireField(QStringView name) const;
    [[nodiscard]] char* editRecord();
    void writeFile(const RecordStore& records);
    [[nodiscard]] std::vector<char> buildImage(const RecordStore& records,
                                               const QString& path) const;

    QString m_tableName = defaultTableName();
    QString m_path;
    ExclusiveFile m_file;
    std::optional<RecordLayout> m_layout;
    RecordStore m_records;
    qsizetype m_savedCount = 0;
    qsizetype m_cursor = 0;
    std::vector<char> m_edit; // the record being appended; empty when none
    QString m_readOnlyReason;
    TableAppend m_append;
};
