#pragma once

#include <QtGlobal>

#include <memory>
#include <vector>

// Raw records of one size, kept in chunks of equal size: appending never moves what is already
// stored (no pause while a large table grows), a record costs its own bytes and little more,
// and the record at any position is found at once.
class RecordStore {
public:
    explicit RecordStore(int recordSize = 0) : m_recordSize(recordSize) {}

    [[nodiscard]] int recordSize() const { return m_recordSize; }
    [[nodiscard]] qsizetype size() const { return m_size; }

    [[nodiscard]] const char* at(qsizetype index) const {
        return m_chunks[index / kRecordsPerChunk].get() + (index % kRecordsPerChunk) * m_recordSize;
    }

    void append(const char* record);
    // Appends count records that lie one after the other in memory.
    void append(const char* records, qsizetype count);
    // Keeps the first count records and releases the chunks no longer used.
    void truncate(qsizetype count);
    void clear() { truncate(0); }

    static constexpr qsizetype kRecordsPerChunk = 4096;

private:
    char* slot(qsizetype index);

    int m_recordSize;
    qsizetype m_size = 0;
    std::vector<std::unique_ptr<char[]>> m_chunks;
};
