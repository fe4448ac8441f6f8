#pragma once

#include <QString>

#include <cstddef>
#include <deque>

// The hidden trace of received frames, one hex line per frame. Only the newest lines are kept, so
// a program left running for weeks does not grow without bound.
class TraceList {
public:
    static constexpr std::size_t kDefaultCapacity = 10000;

    explicit TraceList(std::size_t capacity = kDefaultCapacity) : m_capacity(capacity) {}

    void append(const QString& line) {
        if (m_capacity == 0)
            return;
        if (m_lines.size() == m_capacity)
            m_lines.pop_front();
        m_lines.push_back(line);
    }

    [[nodiscard]] std::size_t size() const { return m_lines.size(); }
    [[nodiscard]] const QString& line(std::size_t i) const { return m_lines[i]; }
    [[nodiscard]] const QString& last() const { return m_lines.back(); }
    [[nodiscard]] bool empty() const { return m_lines.empty(); }

private:
    std::size_t m_capacity;
    std::deque<QString> m_lines;
};
