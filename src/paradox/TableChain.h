#pragma once

#include <QString>

#include <cstddef>
#include <span>
#include <vector>

// The header numbers and the chain of data blocks of a Paradox table file, read straight from
// its bytes. pxlib follows a block chain wherever it leads: a chain that loops keeps it reading
// for ever, and blocks it cannot make sense of it skips without a word. Everything here is
// bounded by the file's size, and the first thing wrong is said in a sentence.
class TableChain {
public:
    struct Block {
        int number = 0; // counted from 1, as the links count
        int count = 0;  // records in the block
    };

    // Throws ParadoxError when the header does not describe a table at all.
    [[nodiscard]] static TableChain read(std::span<const char> image);

    [[nodiscard]] int recordSize() const { return m_recordSize; }
    [[nodiscard]] int headerSize() const { return m_headerSize; }
    [[nodiscard]] int blockSize() const { return m_blockSize; }
    [[nodiscard]] int recordsPerBlock() const {
        return (m_blockSize - kBlockHeaderSize) / m_recordSize;
    }
    [[nodiscard]] qint64 headerRecordCount() const { return m_headerRecordCount; }
    // Blocks the file has room for after its header, whole or cut short.
    [[nodiscard]] int fileBlocks() const { return m_fileBlocks; }
    // The readable blocks, in chain order, and the records they hold; of a block the file's end
    // cuts short, the whole records before the cut.
    [[nodiscard]] const std::vector<Block>& blocks() const { return m_blocks; }
    [[nodiscard]] qint64 recordCount() const { return m_recordCount; }
    // Empty when every block of the chain was read and the header agrees with it; otherwise
    // the first thing found wrong, as a clause ("block 3 lies beyond the end of the file").
    [[nodiscard]] const QString& problem() const { return m_problem; }
    [[nodiscard]] bool isWhole() const { return m_problem.isEmpty(); }
    // Every block was read, but the header counts another number of records than they hold:
    // what a save cut short between its link switch and its header leaves.
    [[nodiscard]] bool onlyCountDisagrees() const { return m_onlyCount; }

    [[nodiscard]] std::size_t blockOffset(int number) const {
        return static_cast<std::size_t>(m_headerSize) +
               static_cast<std::size_t>(number - 1) * static_cast<std::size_t>(m_blockSize);
    }
    // Blocks of the file that the chain does not use, in ascending order.
    [[nodiscard]] std::vector<int> unusedBlocks() const;

    static constexpr int kBlockHeaderSize = 6;
    // pxlib takes block numbers for signed 16-bit values.
    static constexpr int kMostBlocks = 32767;

    // Header offsets of the numbers a save changes.
    static constexpr std::size_t kRecordCountAt = 0x06;
    static constexpr std::size_t kNextBlockAt = 0x0A;
    static constexpr std::size_t kFileBlocksAt = 0x0C;
    static constexpr std::size_t kFirstBlockAt = 0x0E;
    static constexpr std::size_t kLastBlockAt = 0x10;
    static constexpr std::size_t kMaxBlocksAt = 0x3A;

private:
    void checkFieldNames(std::span<const char> image, int fieldCount) const;
    void walk(std::span<const char> image, int firstBlock);
    // Records in the block whose size field says `size`, or -1 when no block can hold that.
    [[nodiscard]] int countFromSize(int size) const;

    int m_recordSize = 0;
    int m_headerSize = 0;
    int m_blockSize = 0;
    int m_version = 0;
    qint64 m_headerRecordCount = 0;
    int m_fileBlocks = 0;
    std::vector<Block> m_blocks;
    qint64 m_recordCount = 0;
    QString m_problem;
    bool m_onlyCount = false;
};
