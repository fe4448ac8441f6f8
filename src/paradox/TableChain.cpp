#include "TableChain.h"

#include "ParadoxError.h"

#include <algorithm>

namespace {

int byteAt(std::span<const char> image, std::size_t at) {
    return static_cast<unsigned char>(image[at]);
}

int le16(std::span<const char> image, std::size_t at) {
    return byteAt(image, at) | byteAt(image, at + 1) << 8;
}

qint64 le32(std::span<const char> image, std::size_t at) {
    return static_cast<qint64>(le16(image, at)) | static_cast<qint64>(le16(image, at + 2)) << 16;
}

constexpr std::size_t kFieldListAt = 0x78;
constexpr int kKeyedTable = 0;
constexpr int kUnkeyedTable = 2;

} // namespace

TableChain TableChain::read(std::span<const char> image) {
    const QString notATable = QStringLiteral("The file is not a Paradox table.");
    if (image.size() < kFieldListAt)
        throw ParadoxError(notATable, ParadoxCause::Damaged);
    TableChain chain;
    chain.m_recordSize = le16(image, 0x00);
    chain.m_headerSize = le16(image, 0x02);
    const int fileType = byteAt(image, 0x04);
    const int blockKiB = byteAt(image, 0x05);
    const int fieldCount = le16(image, 0x21);
    chain.m_version = byteAt(image, 0x39);
    chain.m_blockSize = blockKiB * 1024;
    if (fileType != kKeyedTable && fileType != kUnkeyedTable)
        throw ParadoxError(QStringLiteral("The file is not a Paradox table (it may be an index)."),
                           ParadoxCause::Damaged);
    if (chain.m_recordSize == 0 || fieldCount == 0 ||
        chain.m_headerSize < static_cast<int>(kFieldListAt) ||
        static_cast<std::size_t>(chain.m_headerSize) > image.size() ||
        static_cast<int>(kFieldListAt) + fieldCount * 2 > chain.m_headerSize)
        throw ParadoxError(notATable, ParadoxCause::Damaged);
    if (blockKiB < 1 || blockKiB > 32 ||
        chain.m_blockSize - kBlockHeaderSize < chain.m_recordSize) {
        throw ParadoxError(
            QStringLiteral("The file is not a Paradox table that can be read: its blocks of %1 KiB "
                           "cannot hold records of %2 bytes.")
                .arg(blockKiB)
                .arg(chain.m_recordSize));
    }
    chain.checkFieldNames(image, fieldCount);
    chain.m_headerRecordCount = le32(image, kRecordCountAt);
    const std::size_t afterHeader = image.size() - static_cast<std::size_t>(chain.m_headerSize);
    chain.m_fileBlocks = static_cast<int>(
        std::min<std::size_t>((afterHeader + chain.m_blockSize - 1) / chain.m_blockSize, 65535));
    chain.walk(image, le16(image, kFirstBlockAt));
    if (chain.isWhole() && chain.m_recordCount != chain.m_headerRecordCount) {
        chain.m_onlyCount = true;
        chain.m_problem = QStringLiteral("its header counts %1 records but its data blocks hold %2")
                              .arg(chain.m_headerRecordCount)
                              .arg(chain.m_recordCount);
    }
    return chain;
}

// pxlib reads each field name up to its closing zero byte, wherever that lies.
void TableChain::checkFieldNames(std::span<const char> image, int fieldCount) const {
    const std::size_t tableName = m_version >= 0x0C ? 261 : 79;
    const std::size_t namesAt = kFieldListAt + 2 * static_cast<std::size_t>(fieldCount) + 4 +
                                4 * static_cast<std::size_t>(fieldCount) + tableName;
    const auto end = image.begin() + m_headerSize;
    const auto zeros =
        namesAt >= static_cast<std::size_t>(m_headerSize)
            ? 0
            : std::count(image.begin() + static_cast<std::ptrdiff_t>(namesAt), end, '\0');
    if (zeros < fieldCount)
        throw ParadoxError(QStringLiteral("The file is not a Paradox table (its field names are "
                                          "damaged)."),
                           ParadoxCause::Damaged);
}

int TableChain::countFromSize(int size) const {
    if (size == -m_recordSize)
        return 0;
    if (size < 0 || size % m_recordSize != 0)
        return -1;
    const int count = size / m_recordSize + 1;
    return count <= recordsPerBlock() ? count : -1;
}

void TableChain::walk(std::span<const char> image, int firstBlock) {
    std::vector<bool> visited(static_cast<std::size_t>(m_fileBlocks) + 1, false);
    // Where the chain breaks off, the records read before are still worth showing.
    const auto stop = [this](const QString& what) {
        m_problem =
            QStringLiteral("%1, so reading stopped at record %2").arg(what).arg(m_recordCount + 1);
    };
    for (int number = firstBlock; number != 0;) {
        const std::size_t start = blockOffset(number);
        if (number > m_fileBlocks || start + kBlockHeaderSize > image.size()) {
            stop(QStringLiteral("block %1 lies beyond the end of the file").arg(number));
            return;
        }
        if (visited[static_cast<std::size_t>(number)]) {
            stop(QStringLiteral("its chain of data blocks loops back to block %1").arg(number));
            return;
        }
        visited[static_cast<std::size_t>(number)] = true;
        const int size = static_cast<qint16>(le16(image, start + 4));
        const int count = countFromSize(size);
        if (count < 0) {
            // The rest of the chain is still worth showing; this block's records are not.
            if (m_problem.isEmpty()) {
                m_problem = QStringLiteral("block %1 gives its records a size of %2 bytes, which "
                                           "no block of records can have, so it is left out")
                                .arg(number)
                                .arg(size);
            }
            number = le16(image, start);
            continue;
        }
        const std::size_t room = image.size() - start - kBlockHeaderSize;
        const int whole = static_cast<int>(std::min<std::size_t>(
            static_cast<std::size_t>(count), room / static_cast<std::size_t>(m_recordSize)));
        if (whole > 0 || whole == count)
            m_blocks.push_back({number, whole});
        m_recordCount += whole;
        if (whole < count) {
            stop(QStringLiteral("the file ends within block %1, after %2 of its %3 records")
                     .arg(number)
                     .arg(whole)
                     .arg(count));
            return;
        }
        number = le16(image, start);
    }
}

std::vector<int> TableChain::unusedBlocks() const {
    std::vector<bool> used(static_cast<std::size_t>(m_fileBlocks) + 1, false);
    for (const Block& block : m_blocks)
        used[static_cast<std::size_t>(block.number)] = true;
    std::vector<int> unused;
    for (int number = 1; number <= m_fileBlocks; ++number) {
        if (!used[static_cast<std::size_t>(number)])
            unused.push_back(number);
    }
    return unused;
}
