#pragma once

// A meter played on a pseudo-terminal that notes when each request arrives, for measuring the gaps
// between a host's requests while the disk's syncs are slow (slow_sync_gaps.sh).
#include "../tests/support/RawPty.h"

#include <QString>

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

inline qint64 steadyMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Answers every request with a main-display frame whose last digit changes, and notes when each
// request came.
class PlayedMeter {
public:
    PlayedMeter() {
        openRawPty(m_master, m_slave, m_slavePath);
        if (m_master < 0)
            return;
        m_thread = std::thread([this] { run(); });
    }
    ~PlayedMeter() {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        ::close(m_slave);
        ::close(m_master);
    }

    [[nodiscard]] QString slavePath() const { return m_slavePath; }
    [[nodiscard]] std::vector<qint64> requests() {
        const std::lock_guard lock(m_mutex);
        return m_requests;
    }

private:
    void run() {
        std::uint8_t digit = 0;
        while (!m_stop) {
            pollfd p{m_master, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            std::uint8_t buffer[64];
            const ssize_t got = ::read(m_master, buffer, sizeof buffer);
            if (got <= 0)
                continue;
            const qint64 at = steadyMs();
            {
                const std::lock_guard lock(m_mutex);
                for (ssize_t i = 0; i < got; ++i)
                    m_requests.push_back(at);
            }
            digit = static_cast<std::uint8_t>((digit + 1) % 10);
            const std::uint8_t frame[] = {0x89, 0x70, 0x08, 0x00,  0x00, 0x0F,
                                          0x01, 0x02, 0x03, digit, 0x0A};
            // A reply the line refuses is one the program never hears, as with a real meter.
            if (::write(m_master, frame, sizeof frame) < 0)
                continue;
        }
    }

    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::vector<qint64> m_requests;
    std::thread m_thread;
};

struct Stretch {
    const char* what;
    qint64 from = 0;
    qint64 to = 0;
};

// The longest wait for a request that came during the stretch or within a second after it (a
// request the stretch's work held back comes after it).
inline qint64 longestGap(const std::vector<qint64>& requests, const Stretch& stretch) {
    qint64 longest = 0;
    for (std::size_t i = 1; i < requests.size(); ++i) {
        if (requests[i] < stretch.from || requests[i] > stretch.to + 1000)
            continue;
        longest = std::max(longest, requests[i] - requests[i - 1]);
    }
    return longest;
}

// One line for the requests seen and one a stretch, with its longest gap between requests.
inline void printGaps(const std::vector<qint64>& requests, const std::vector<Stretch>& stretches) {
    std::printf("%zu requests seen\n", requests.size());
    for (const Stretch& stretch : stretches) {
        std::printf("%-14s %6lld ms: longest gap between requests %5lld ms\n", stretch.what,
                    static_cast<long long>(stretch.to - stretch.from),
                    static_cast<long long>(longestGap(requests, stretch)));
    }
}
