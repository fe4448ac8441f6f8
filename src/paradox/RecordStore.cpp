#include "RecordStore.h"

#include <algorithm>
#include <cstring>

char* RecordStore::slot(qsizetype index) {
    const auto chunk = static_cast<std::size_t>(index / kRecordsPerChunk);
    if (chunk == m_chunks.size())
        m_chunks.push_back(std::make_unique_for_overwrite<char[]>(kRecordsPerChunk * m_recordSize));
    return m_chunks[chunk].get() + (index % kRecordsPerChunk) * m_recordSize;
}

void RecordStore::append(const char* record) {
    std::memcpy(slot(m_size), record, m_recordSize);
    ++m_size;
}

void RecordStore::append(const char* records, qsizetype count) {
    while (count > 0) {
        const qsizetype room = kRecordsPerChunk - m_size % kRecordsPerChunk;
        const qsizetype n = std::min(room, count);
        std::memcpy(slot(m_size), records, n * m_recordSize);
        m_size += n;
        records += n * m_recordSize;
        count -= n;
    }
}

void RecordStore::truncate(qsizetype count) {
    if (count >= m_size)
        return;
    m_size = count;
    m_chunks.resize((count + kRecordsPerChunk - 1) / kRecordsPerChunk);
}
