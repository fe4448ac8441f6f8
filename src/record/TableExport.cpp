#include "TableExport.h"

#include "ParadoxFile.h"
#include "TableChain.h"
#include "TableError.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

void putLe16(char* at, qint64 value) {
    at[0] = static_cast<char>(value & 0xFF);
    at[1] = static_cast<char>((value >> 8) & 0xFF);
}

// Sets the header numbers that describe blocks 1 to blocks in order, holding count records.
void describeChain(std::vector<char>& image, qint64 count, int blocks) {
    char* h = image.data();
    putLe16(h + TableChain::kRecordCountAt, count & 0xFFFF);
    putLe16(h + TableChain::kRecordCountAt + 2, (count >> 16) & 0xFFFF);
    putLe16(h + TableChain::kNextBlockAt, blocks);
    putLe16(h + TableChain::kFileBlocksAt, blocks);
    putLe16(h + TableChain::kFirstBlockAt, blocks > 0 ? 1 : 0);
    putLe16(h + TableChain::kLastBlockAt, blocks);
    putLe16(h + TableChain::kMaxBlocksAt, blocks);
}

} // namespace

// pxlib writes the header (fields, code page, block size chosen for the count), and the blocks
// are laid out here in one pass: pxlib's own record path rewrites the header for every record,
// which made a large copy take seconds.
std::optional<std::vector<char>> TableExport::build(const TableSnapshot& table,
                                                    const QString& tableName,
                                                    const ProgressCallback& progress) {
    if (table.layout.hasBlobFields()) {
        throw TableError(QStringLiteral("The table '%1' has memo or binary fields, which this "
                                        "program cannot copy.")
                             .arg(table.path));
    }
    try {
        std::vector<char> image = ParadoxFile(table.layout, tableName, table.count).finish();
        const TableChain empty = TableChain::read(image);
        const auto headerSize = static_cast<std::size_t>(empty.headerSize());
        const auto blockSize = static_cast<std::size_t>(empty.blockSize());
        const int perBlock = empty.recordsPerBlock();
        const auto recordSize = static_cast<std::size_t>(empty.recordSize());
        const auto blocks = static_cast<int>((table.count + perBlock - 1) / perBlock);
        image.assign(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(headerSize));
        image.resize(headerSize + static_cast<std::size_t>(blocks) * blockSize, 0);

        ProgressTicker ticker(progress, table.count);
        qsizetype row = 0;
        for (int b = 0; b < blocks; ++b) {
            char* block = image.data() + headerSize + static_cast<std::size_t>(b) * blockSize;
            const auto count = static_cast<int>(std::min<qsizetype>(perBlock, table.count - row));
            putLe16(block, b + 1 < blocks ? b + 2 : 0);
            putLe16(block + 2, b);
            putLe16(block + 4, static_cast<qint64>(count - 1) * static_cast<qint64>(recordSize));
            char* slot = block + TableChain::kBlockHeaderSize;
            for (int r = 0; r < count; ++r, ++row, slot += recordSize) {
                if (!ticker.step(row))
                    return std::nullopt;
                std::memcpy(slot, table.records.at(row), recordSize);
            }
        }
        if (!ticker.finished())
            return std::nullopt;
        describeChain(image, table.count, blocks);
        return image;
    } catch (const std::bad_alloc&) {
        throw TableError(
            QStringLiteral("Not enough memory to copy the table '%1'.").arg(table.path));
    }
}
