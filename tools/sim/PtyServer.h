#pragma once

#include "UniqueFd.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class LinePeer;

// Serves a meter model or a replay on a pseudo-terminal: every byte the program writes to the
// terminal is handed to it in order, and the frames it answers with go back at the pace of a 9600
// baud line. The server holds the terminal's slave side open itself, so a program that closes
// the port leaves no hang-up behind and the next one that opens it is served the same way.
class PtyServer {
public:
    using TraceSink = std::function<void(const std::string& line)>;

    // One byte at 9600 baud with a start and a stop bit.
    static constexpr std::chrono::nanoseconds kByteTime9600{1'041'667};
    static constexpr std::chrono::nanoseconds kByteTime2400{4'166'667};

    struct Options {
        std::chrono::nanoseconds byteTime = kByteTime9600;
        // How often the peer talks by itself (LinePeer::talk); zero: it only answers.
        std::chrono::milliseconds talkPeriod{0};
        TraceSink trace;   // every byte received and frame sent; empty: none
        TraceSink warning; // frames that could not be delivered
    };

    // Opens the pseudo-terminal; on failure returns nothing and says why in error.
    [[nodiscard]] static std::unique_ptr<PtyServer> open(std::string& error);

    // The device path a program opens, such as /dev/pts/3.
    [[nodiscard]] const std::string& slavePath() const { return m_slavePath; }

    // Serves until stop becomes true (looked at least every poll interval and after each
    // signal). Returns false, with lastError() set, when the terminal itself fails.
    [[nodiscard]] bool run(LinePeer& peer, const std::atomic<bool>& stop, const Options& options);

    [[nodiscard]] const std::string& lastError() const { return m_error; }

    static constexpr int kPollIntervalMs = 200;

private:
    PtyServer(UniqueFd master, UniqueFd slave, std::string slavePath);

    [[nodiscard]] int talkIfDue(LinePeer& peer, const Options& options);
    void serveBytes(const std::uint8_t* data, std::size_t size, LinePeer& peer,
                    const Options& options);
    [[nodiscard]] bool sendPaced(const std::vector<std::uint8_t>& frame,
                                 std::chrono::nanoseconds byteTime);
    [[nodiscard]] bool writeByte(std::uint8_t byte);

    UniqueFd m_master;
    UniqueFd m_slave;
    std::string m_slavePath;
    std::string m_error;
    std::chrono::steady_clock::time_point m_lastTick;
    std::chrono::steady_clock::time_point m_nextTalk;
};
