#pragma once

#include "LinePeer.h"

#include <QList>

#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <utility>

// Reads a simulated meter's answers from fd, one byte at a time as a receiver would, until count
// frames have ended with their line feed or the time runs out.
inline QList<LinePeer::Frame> readFrames(int fd, int count, int timeoutMs = 3000) {
    QList<LinePeer::Frame> frames;
    LinePeer::Frame current;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (frames.size() < count && std::chrono::steady_clock::now() < deadline) {
        pollfd watched{fd, POLLIN, 0};
        if (::poll(&watched, 1, 50) <= 0)
            continue;
        std::uint8_t byte = 0;
        if (::read(fd, &byte, 1) != 1)
            continue;
        current.push_back(byte);
        if (byte == 0x0A)
            frames.append(std::exchange(current, {}));
    }
    return frames;
}
