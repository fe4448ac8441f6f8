#pragma once

#include <QString>

#include <cstddef>
#include <deque>

// The hidden trace of received frames, one hex line per frame. Only the newest lines are kept,
// bounded by count and by size, so that a program left running for weeks on a line that sends
// long junk lines does not grow without bound.
class TraceList {
public:
    static constexpr std::size_t kDefaultCapacity = 10000;
    // A few megabytes: thousands of ordinary frames, or hundreds of the longest lines.
    static constexpr std::size_t kDefaultByteCapacity = 4 * 1024 * 1024;

    explicit TraceList(std::size_t capacity = kDefaultCapacity,
                       std::size_t byteCapacity = kDefaultByteCapacity)
        : m_capacity(capacity), m_byteCapacity(byteCapacity) {}

    // The newest line is always kept, even alone over the byte bound.
    void append(const QString& line) {
        if (m_capacity == 0)
            return;
        m_lines.push_back(line);
        m_bytes += bytesOf(line);
        while (m_lines.size() > 1 && (m_lines.size() > m_capacity || m_bytes > m_byteCapacity)) {
            m_bytes -= bytesOf(m_lines.front());
            m_lines.pop_front();
        }
    }

    [[nodiscard]] std::size_t size() const { return m_lines.size(); }
    [[nodiscard]] const QString& line(std::size_t i) const { return m_lines[i]; }
    [[nodiscard]] const QString& last() const { return m_lines.back(); }
    [[nodiscard]] bool empty() const { return m_lines.empty(); }
    // The text the kept lines hold, in bytes.
    [[nodiscard]] std::size_t bytes() const { return m_bytes; }

private:
    [[nodiscard]] static std::size_t bytesOf(const QString& line) {
        return static_cast<std::size_t>(line.size()) * sizeof(QChar);
    }

    std::size_t m_capacity;
    std::size_t m_byteCapacity;
    std::size_t m_bytes = 0;
    std::deque<QString> m_lines;
};
