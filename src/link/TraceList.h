#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

// The hidden trace of received frames, one hex line per frame. Only the newest lines are kept,
// bounded by count and by the heap they take, so that a program left running for weeks on a line
// that sends long junk lines does not grow without bound.
//
// A frame's line is kept as the frame's own bytes, and a note (a line that is not upper-case hex)
// as its UTF-8 text, each behind a short length, one after another in blocks of a few kilobytes:
// an ordinary frame takes a byte more than the frame, where a string of its hex would take ten
// times as much. Lines are read back as the text they were given.
class TraceList {
public:
    static constexpr std::size_t kDefaultCapacity = 10000;
    // The heap the kept lines may take: a thousand times what the count bound of ordinary frames
    // needs at most, or hundreds of the longest lines.
    static constexpr std::size_t kDefaultByteCapacity = 1024 * 1024;

    explicit TraceList(std::size_t capacity = kDefaultCapacity,
                       std::size_t byteCapacity = kDefaultByteCapacity)
        : m_capacity(capacity), m_byteCapacity(byteCapacity) {}

    // The newest line is always kept, even alone over the byte bound.
    void append(const QString& line);

    [[nodiscard]] std::size_t size() const { return m_count; }
    [[nodiscard]] bool empty() const { return m_count == 0; }
    // Line i, the oldest kept being 0; found by walking from the oldest.
    [[nodiscard]] QString line(std::size_t i) const;
    [[nodiscard]] QString last() const;
    // The heap the kept lines take, in bytes: their blocks and the blocks' bookkeeping.
    [[nodiscard]] std::size_t bytes() const { return m_heap; }

private:
    // Blocks this size hold many lines; a longer line has a block of its own.
    static constexpr std::size_t kBlockSize = 4096;

    struct Block {
        std::vector<std::uint8_t> data;
    };
    // Where a line starts: its block, and its header's offset in the block.
    struct Place {
        std::size_t block;
        std::size_t offset;
    };

    void dropOldest();
    [[nodiscard]] QString lineAt(Place place) const;

    std::size_t m_capacity;
    std::size_t m_byteCapacity;
    std::size_t m_heap = 0;
    std::size_t m_count = 0;
    std::deque<Block> m_blocks;
    std::size_t m_oldestOffset = 0; // in the first block
    Place m_newest{0, 0};
};
