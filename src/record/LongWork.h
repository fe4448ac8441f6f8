#pragma once

#include <QtGlobal>

#include <functional>

// Work over this many records takes long enough that the user sees a progress bar and may
// cancel it; below it the work is over before a bar could be read.
inline constexpr qsizetype kLongWorkRecords = 20000;

[[nodiscard]] inline bool isLongWork(qsizetype records) {
    return records > kLongWorkRecords;
}

// Told how far a piece of work has come (done of total steps); returning false asks the work to
// stop. An empty callback lets the work run to its end.
using ProgressCallback = std::function<bool(qsizetype done, qsizetype total)>;

// Calls the callback every so many steps, so that a tight loop pays for a test and not for a
// call per record.
class ProgressTicker {
public:
    ProgressTicker(const ProgressCallback& callback, qsizetype total)
        : m_callback(callback), m_total(total) {}

    // False once the callback has asked to stop.
    [[nodiscard]] bool step(qsizetype done) {
        if (!m_callback || done % kInterval != 0)
            return true;
        return m_callback(done, m_total);
    }
    [[nodiscard]] bool finished() { return !m_callback || m_callback(m_total, m_total); }

    static constexpr qsizetype kInterval = 4096;

private:
    const ProgressCallback& m_callback;
    qsizetype m_total;
};
