#include "TableAppend.h"

#include "ExclusiveFile.h"
#include "ParadoxError.h"
#include "RecordStore.h"

#include <QFileInfo>

#include <algorithm>
#include <cstring>

namespace {

// The header bytes a save rewrites, in one write within the first sector.
constexpr std::size_t kHeaderWriteSize = 0x40;

void putLe16(char* at, int value) {
    at[0] = static_cast<char>(value & 0xFF);
    at[1] = static_cast<char>((value >> 8) & 0xFF);
}

[[noreturn]] void throwWriteError(const QString& path, int error) {
    ExclusiveFile::throwWriteError(path, error);
}

} // namespace

struct TableAppend::Plan {
    int carried = 0;          // records of the old last block copied into the first new block
    int linkHolder = 0;       // block whose next link switches to the new blocks; 0: the header
    int oldLink = 0;          // that link's value before the switch
    std::vector<int> numbers; // the new blocks, in chain order
    qsizetype firstRecord = 0;
    qsizetype endRecord = 0;
};

TableAppend::TableAppend(const TableChain& chain, std::vector<char> header, SaveHook saveHook)
    : m_headerSize(chain.headerSize()), m_blockSize(chain.blockSize()),
      m_perBlock(chain.recordsPerBlock()), m_recordSize(chain.recordSize()),
      m_fileBlocks(chain.fileBlocks()), m_blocks(chain.blocks()), m_free(chain.unusedBlocks()),
      m_header(std::move(header)), m_saveHook(std::move(saveHook)) {}

std::vector<int> TableAppend::takeBlocks(int count) const {
    std::vector<int> numbers;
    for (std::size_t i = 0; i < m_free.size() && static_cast<int>(numbers.size()) < count; ++i)
        numbers.push_back(m_free[i]);
    for (int next = m_fileBlocks + 1; static_cast<int>(numbers.size()) < count; ++next)
        numbers.push_back(next);
    return numbers;
}

TableAppend::Result TableAppend::append(const ExclusiveFile& file, const RecordStore& records,
                                        qsizetype first, const QString& path) {
    if (m_unsettled)
        return Result::NeedsRewrite;
    if (first >= records.size())
        return Result::Done;
    Plan plan;
    const bool lastIsFull = m_blocks.empty() || m_blocks.back().count >= m_perBlock;
    plan.carried = lastIsFull ? 0 : m_blocks.back().count;
    plan.firstRecord = first - plan.carried;
    plan.endRecord = records.size();
    const qsizetype toWrite = plan.endRecord - plan.firstRecord;
    const auto newBlocks = static_cast<int>((toWrite + m_perBlock - 1) / m_perBlock);
    plan.numbers = takeBlocks(newBlocks);
    if (plan.numbers.back() > TableChain::kMostBlocks)
        return Result::NeedsRewrite;
    // The link that decides which chain readers follow: in the block before the new ones.
    const std::size_t kept = m_blocks.size() - (plan.carried > 0 ? 1 : 0);
    plan.linkHolder = kept == 0 ? 0 : m_blocks[kept - 1].number;
    plan.oldLink = kept < m_blocks.size() ? m_blocks[kept].number : 0;

    const off_t oldSize = file.size();
    try {
        writeBlocks(file, records, plan, path);
    } catch (const ParadoxError&) {
        // Whatever was written lies outside the chain; give back the room it took.
        if (oldSize >= 0 && file.size() > oldSize)
            (void)file.truncate(oldSize);
        throw;
    }

    if (plan.linkHolder != 0) {
        char link[2];
        putLe16(link, plan.numbers.front());
        const off_t at = static_cast<off_t>(m_headerSize) +
                         static_cast<off_t>(plan.linkHolder - 1) * m_blockSize;
        if (const int error = file.writeAt(at, link))
            throwWriteError(path, error);
        m_saveHook.at("link-written");
        if (const int error = file.syncData())
            throwWriteError(path, error);
        m_saveHook.at("link-synced");
    }

    std::vector<char> before = m_header;
    const std::vector<TableChain::Block> blocksBefore = m_blocks;
    const std::vector<int> freeBefore = m_free;
    const int fileBlocksBefore = m_fileBlocks;
    const qint64 total = plan.endRecord;
    updateHeader(plan, total);
    const std::span<const char> head(m_header.data(), std::min(kHeaderWriteSize, m_header.size()));
    int error = file.writeAt(0, head);
    m_saveHook.at("header-written");
    if (error == 0)
        error = file.syncData();
    if (error != 0) {
        m_header = std::move(before);
        m_blocks = blocksBefore;
        m_free = freeBefore;
        m_fileBlocks = fileBlocksBefore;
        // Put the old link back so that the file reads as before for every reader.
        if (plan.linkHolder != 0) {
            char link[2];
            putLe16(link, plan.oldLink);
            const off_t at = static_cast<off_t>(m_headerSize) +
                             static_cast<off_t>(plan.linkHolder - 1) * m_blockSize;
            m_unsettled = file.writeAt(at, link) != 0 || file.syncData() != 0;
        }
        throwWriteError(path, error);
    }
    m_saveHook.at("header-synced");
    return Result::Done;
}

void TableAppend::writeBlocks(const ExclusiveFile& file, const RecordStore& records,
                              const Plan& plan, const QString& path) const {
    std::vector<char> block(static_cast<std::size_t>(m_blockSize));
    qsizetype next = plan.firstRecord;
    for (std::size_t i = 0; i < plan.numbers.size(); ++i) {
        std::fill(block.begin(), block.end(), 0);
        const auto count = static_cast<int>(std::min<qsizetype>(m_perBlock, plan.endRecord - next));
        putLe16(block.data(), i + 1 < plan.numbers.size() ? plan.numbers[i + 1] : 0);
        putLe16(block.data() + 2, i > 0 ? plan.numbers[i - 1] : plan.linkHolder);
        putLe16(block.data() + 4, (count - 1) * m_recordSize);
        for (int r = 0; r < count; ++r) {
            std::memcpy(block.data() + TableChain::kBlockHeaderSize + r * m_recordSize,
                        records.at(next + r), static_cast<std::size_t>(m_recordSize));
        }
        next += count;
        const off_t at = static_cast<off_t>(m_headerSize) +
                         static_cast<off_t>(plan.numbers[i] - 1) * m_blockSize;
        if (const int error = file.writeAt(at, block))
            throwWriteError(path, error);
    }
    m_saveHook.at("blocks-written");
    if (const int error = file.syncData())
        throwWriteError(path, error);
    m_saveHook.at("blocks-synced");
}

void TableAppend::updateHeader(const Plan& plan, qint64 recordCount) {
    if (plan.carried > 0) {
        m_free.push_back(m_blocks.back().number);
        m_blocks.pop_back();
    }
    qsizetype next = plan.firstRecord;
    for (const int number : plan.numbers) {
        const auto count = static_cast<int>(std::min<qsizetype>(m_perBlock, plan.endRecord - next));
        m_blocks.push_back({number, count});
        next += count;
        m_free.erase(std::remove(m_free.begin(), m_free.end(), number), m_free.end());
        m_fileBlocks = std::max(m_fileBlocks, number);
    }
    std::sort(m_free.begin(), m_free.end());
    describeChain(recordCount);
}

void TableAppend::describeChain(qint64 recordCount) {
    char* h = m_header.data();
    putLe16(h + TableChain::kRecordCountAt, static_cast<int>(recordCount & 0xFFFF));
    putLe16(h + TableChain::kRecordCountAt + 2, static_cast<int>((recordCount >> 16) & 0xFFFF));
    putLe16(h + TableChain::kNextBlockAt, m_fileBlocks);
    putLe16(h + TableChain::kFileBlocksAt, m_fileBlocks);
    putLe16(h + TableChain::kFirstBlockAt, m_blocks.empty() ? 0 : m_blocks.front().number);
    putLe16(h + TableChain::kLastBlockAt, m_blocks.empty() ? 0 : m_blocks.back().number);
    putLe16(h + TableChain::kMaxBlocksAt, m_fileBlocks);
}

int TableAppend::settleHeader(const ExclusiveFile& file) {
    qint64 count = 0;
    for (const TableChain::Block& block : m_blocks)
        count += block.count;
    describeChain(count);
    const std::span<const char> head(m_header.data(), std::min(kHeaderWriteSize, m_header.size()));
    if (const int error = file.writeAt(0, head))
        return error;
    return file.syncData();
}
