#include "PtyServer.h"

#include "LinePeer.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <system_error>
#include <thread>

namespace {

// How long a frame may wait for a program that does not read before it is dropped.
constexpr std::chrono::milliseconds kWriteTimeout{1000};

std::string errnoText() {
    return std::system_category().message(errno);
}

std::string hexBytes(const std::uint8_t* data, std::size_t size) {
    std::string text;
    for (std::size_t i = 0; i < size; ++i) {
        std::array<char, 4> byte{};
        std::snprintf(byte.data(), byte.size(), i == 0 ? "%02X" : " %02X", data[i]);
        text += byte.data();
    }
    return text;
}

void report(const PtyServer::TraceSink& sink, const std::string& line) {
    if (sink)
        sink(line);
}

} // namespace

std::unique_ptr<PtyServer> PtyServer::open(std::string& error) {
    UniqueFd master(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!master.valid()) {
        error = "cannot open a pseudo-terminal: " + errnoText();
        return nullptr;
    }
    if (::grantpt(master.get()) != 0 || ::unlockpt(master.get()) != 0) {
        error = "cannot unlock the pseudo-terminal: " + errnoText();
        return nullptr;
    }
    std::array<char, 128> name{};
    if (::ptsname_r(master.get(), name.data(), name.size()) != 0) {
        error = "cannot name the pseudo-terminal: " + errnoText();
        return nullptr;
    }
    UniqueFd slave(::open(name.data(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!slave.valid()) {
        error = std::string("cannot open ") + name.data() + ": " + errnoText();
        return nullptr;
    }
    // Raw and at the meter's speed until a program sets its own line; no echo of requests.
    termios line{};
    ::tcgetattr(slave.get(), &line);
    ::cfmakeraw(&line);
    ::cfsetispeed(&line, B9600);
    ::cfsetospeed(&line, B9600);
    if (::tcsetattr(slave.get(), TCSANOW, &line) != 0) {
        error = std::string("cannot set ") + name.data() + " raw: " + errnoText();
        return nullptr;
    }
    const int flags = ::fcntl(master.get(), F_GETFL);
    if (flags < 0 || ::fcntl(master.get(), F_SETFL, flags | O_NONBLOCK) != 0) {
        error = "cannot make the pseudo-terminal non-blocking: " + errnoText();
        return nullptr;
    }
    return std::unique_ptr<PtyServer>(
        new PtyServer(std::move(master), std::move(slave), name.data()));
}

PtyServer::PtyServer(UniqueFd master, UniqueFd slave, std::string slavePath)
    : m_master(std::move(master)), m_slave(std::move(slave)), m_slavePath(std::move(slavePath)) {}

bool PtyServer::run(LinePeer& peer, const std::atomic<bool>& stop, const Options& options) {
    m_lastTick = std::chrono::steady_clock::now();
    m_nextTalk = m_lastTick + options.talkPeriod;
    std::array<std::uint8_t, 256> buffer{};
    while (!stop.load()) {
        pollfd watched{m_master.get(), POLLIN, 0};
        const int ready = ::poll(&watched, 1, talkIfDue(peer, options));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0) {
            m_error = "waiting on the pseudo-terminal failed: " + errnoText();
            return false;
        }
        if (ready == 0)
            continue;
        if (watched.revents & POLLNVAL) {
            m_error = "the pseudo-terminal was closed under the server";
            return false;
        }
        if (watched.revents & POLLIN) {
            const ssize_t got = ::read(m_master.get(), buffer.data(), buffer.size());
            if (got > 0) {
                serveBytes(buffer.data(), static_cast<std::size_t>(got), peer, options);
                continue;
            }
            if (got < 0 && (errno == EAGAIN || errno == EINTR))
                continue;
        }
        // A hang-up or error with nothing to read cannot persist while the slave side is held
        // open, but should one appear it must not turn this loop into a busy one.
        ::poll(nullptr, 0, kPollIntervalMs);
    }
    return true;
}

// Sends the peer's own frame when its period is up; the poll's time-out until the next one (or
// the poll interval for a peer that only answers). A frame late behind a slow reader moves the
// next one on rather than sending a burst.
int PtyServer::talkIfDue(LinePeer& peer, const Options& options) {
    using namespace std::chrono;
    if (options.talkPeriod.count() <= 0)
        return kPollIntervalMs;
    auto now = steady_clock::now();
    if (now >= m_nextTalk) {
        peer.advance(duration<double>(now - m_lastTick).count());
        m_lastTick = now;
        const LinePeer::Frame frame = peer.talk();
        report(options.trace, "-> " + hexBytes(frame.data(), frame.size()));
        if (!frame.empty() && !sendPaced(frame, options.byteTime))
            report(options.warning, "frame " + hexBytes(frame.data(), frame.size()) +
                                        " dropped: the program does not read the port");
        m_nextTalk += options.talkPeriod;
        now = steady_clock::now();
        if (m_nextTalk < now)
            m_nextTalk = now + options.talkPeriod;
    }
    const auto wait = duration_cast<milliseconds>(m_nextTalk - now).count() + 1;
    return static_cast<int>(std::min<long long>(wait, kPollIntervalMs));
}

void PtyServer::serveBytes(const std::uint8_t* data, std::size_t size, LinePeer& peer,
                           const Options& options) {
    for (std::size_t i = 0; i < size; ++i) {
        const auto now = std::chrono::steady_clock::now();
        peer.advance(std::chrono::duration<double>(now - m_lastTick).count());
        m_lastTick = now;

        const LinePeer::Frame answer = peer.receive(data[i]);
        report(options.trace, "<- " + hexBytes(&data[i], 1) + "  " + peer.describe(data[i]));
        if (answer.empty())
            continue;
        report(options.trace, "-> " + hexBytes(answer.data(), answer.size()));
        if (!sendPaced(answer, options.byteTime))
            report(options.warning, "frame " + hexBytes(answer.data(), answer.size()) +
                                        " dropped: the program does not read the port");
    }
}

// Writes the frame byte by byte at the line's pace and returns only when its last byte would
// have left the line, so that frames arrive spread out as they do from a meter.
bool PtyServer::sendPaced(const std::vector<std::uint8_t>& frame,
                          std::chrono::nanoseconds byteTime) {
    const auto start = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < frame.size(); ++i) {
        std::this_thread::sleep_until(start + byteTime * static_cast<long>(i));
        if (!writeByte(frame[i]))
            return false;
    }
    std::this_thread::sleep_until(start + byteTime * static_cast<long>(frame.size()));
    return true;
}

bool PtyServer::writeByte(std::uint8_t byte) {
    const auto deadline = std::chrono::steady_clock::now() + kWriteTimeout;
    while (std::chrono::steady_clock::now() < deadline) {
        const ssize_t written = ::write(m_master.get(), &byte, 1);
        if (written == 1)
            return true;
        if (written < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        // The terminal's input queue is full: wait until the program reads some of it.
        // The short sleep keeps a terminal that reports room it then refuses from spinning.
        pollfd watched{m_master.get(), POLLOUT, 0};
        ::poll(&watched, 1, kPollIntervalMs);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}
