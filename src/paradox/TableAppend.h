#pragma once

#include "SaveHook.h"
#include "TableChain.h"

#include <QString>

#include <vector>

class ExclusiveFile;
class RecordStore;

// Adds records to a whole table file in place, so that a save costs what it adds. The new
// records, with those of a last block that is not full, go into blocks the chain does not use
// (free ones, then past the end); they are synced; then one link is switched to them (in the
// block before, or the header's first-block number when there is none) and synced; then the
// header's counts follow in one write of its first bytes, synced.
//
// A crash before the link switch leaves the old chain untouched. Between the link switch and
// the header the chain holds the new records but the header still counts the old number: pxlib
// and readers like it read exactly the old table (records are found by the header's count, and
// the old ones keep their places), while the chain check finds more records than the header
// counts; the journal of pending readings then shows whose save it was (see ReadingsTable).
class TableAppend {
public:
    enum class Result { Done, NeedsRewrite };

    TableAppend() = default;
    TableAppend(const TableChain& chain, std::vector<char> header, SaveHook saveHook);

    // Writes records[first...] after the records[0, first) that the file holds. Returns
    // NeedsRewrite when the blocks cannot number that many (the caller writes a new file with
    // larger blocks). Throws ParadoxError naming path if a write fails; the file then reads as
    // before and this object is unchanged.
    [[nodiscard]] Result append(const ExclusiveFile& file, const RecordStore& records,
                                qsizetype first, const QString& path);

    // Finishes a save cut short after its link switch: the header is made to count what the
    // chain holds, written and synced. Returns 0 or the error number.
    [[nodiscard]] int settleHeader(const ExclusiveFile& file);

    // True after a failed save that could not put the old link back: only a new file is safe.
    [[nodiscard]] bool isUnsettled() const { return m_unsettled; }

private:
    struct Plan;
    [[nodiscard]] std::vector<int> takeBlocks(int count) const;
    void writeBlocks(const ExclusiveFile& file, const RecordStore& records, const Plan& plan,
                     const QString& path) const;
    void updateHeader(const Plan& plan, qint64 recordCount);
    void describeChain(qint64 recordCount);

    int m_headerSize = 0;
    int m_blockSize = 0;
    int m_perBlock = 0;
    int m_recordSize = 0;
    int m_fileBlocks = 0;
    std::vector<TableChain::Block> m_blocks;
    std::vector<int> m_free;
    std::vector<char> m_header;
    bool m_unsettled = false;
    SaveHook m_saveHook;
};
