#include "CaptureWriter.h"

#include "FollowRule.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>

namespace {

constexpr std::string_view kLegend =
    "# time: seconds since the capture began; < received from the meter, > sent to it; "
    "bytes in hex";

std::string systemError(int code) {
    return std::strerror(code);
}

// "began 2025-01-31 12:00:00 UTC": which day a capture comes from matters in a bug report.
std::string beganLine() {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm utc{};
    std::array<char, 64> text{};
    if (::gmtime_r(&now, &utc) == nullptr ||
        std::strftime(text.data(), text.size(), "# began %Y-%m-%d %H:%M:%S UTC", &utc) == 0)
        return "# began at an unknown time";
    return text.data();
}

CaptureWriter::Clock steadyClockFromNow() {
    const auto start = std::chrono::steady_clock::now();
    return [start] {
        const auto elapsed = std::chrono::steady_clock::now() - start;
        return static_cast<std::int64_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
    };
}

} // namespace

std::unique_ptr<CaptureWriter> CaptureWriter::open(const std::filesystem::path& path,
                                                   std::string& error, Clock clock) {
    // Links are followed only by the rule for links beside the user's files; the file itself
    // is opened without following one planted since, and without blocking on a FIFO.
    const FollowRule::Resolved resolved = FollowRule::resolve(path.string());
    if (!resolved.ok()) {
        error = "cannot create the capture file: " + resolved.refusal;
        return nullptr;
    }
    const int fd = ::open(resolved.path.c_str(),
                          O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = "cannot create the capture file '" + path.string() + "': " + systemError(errno);
        return nullptr;
    }
    // A device or a FIFO with a reader is written as it is (a capture may go to a pipe); only a
    // regular file is emptied first.
    struct stat st {};
    if (::fstat(fd, &st) != 0 || (S_ISREG(st.st_mode) && ::ftruncate(fd, 0) != 0) ||
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        error = "cannot create the capture file '" + path.string() + "': " + systemError(errno);
        ::close(fd);
        return nullptr;
    }
    std::unique_ptr<std::FILE, FileCloser> file(::fdopen(fd, "w"));
    if (!file) {
        ::close(fd);
        error = "cannot create the capture file '" + path.string() + "': " + systemError(errno);
        return nullptr;
    }
    std::unique_ptr<CaptureWriter> writer(
        new CaptureWriter(path, std::move(file), clock ? std::move(clock) : steadyClockFromNow()));
    writer->writeLine(std::string(capture::kHeader));
    writer->writeLine(std::string(kLegend));
    writer->writeLine(beganLine());
    if (!writer->ok()) {
        error = writer->error();
        return nullptr;
    }
    return writer;
}

CaptureWriter::CaptureWriter(std::filesystem::path path,
                             std::unique_ptr<std::FILE, FileCloser> file, Clock clock)
    : m_path(std::move(path)), m_file(std::move(file)), m_clock(std::move(clock)) {}

void CaptureWriter::record(CaptureDirection direction, const std::uint8_t* data, std::size_t size) {
    if (data == nullptr || size == 0 || !ok())
        return;
    CaptureEvent event{m_clock(), direction, std::vector<std::uint8_t>(data, data + size)};
    writeLine(formatEvent(event));
}

void CaptureWriter::note(std::string_view text) {
    if (!ok())
        return;
    std::string line = "# " + formatTime(m_clock()) + ' ';
    // A line end inside the note would start a line that is no comment.
    for (const char c : text)
        line += (c == '\n' || c == '\r') ? ' ' : c;
    writeLine(line);
}

std::string CaptureWriter::formatEvent(const CaptureEvent& event) {
    static constexpr std::string_view kDigits = "0123456789ABCDEF";
    std::string line = formatTime(event.timeMs);
    line += ' ';
    line +=
        event.direction == CaptureDirection::Received ? capture::kReceivedMark : capture::kSentMark;
    line += ' ';
    line.reserve(line.size() + 2 * event.bytes.size());
    for (const std::uint8_t byte : event.bytes) {
        line += kDigits[byte >> 4];
        line += kDigits[byte & 0x0F];
    }
    return line;
}

std::string CaptureWriter::formatTime(std::int64_t ms) {
    if (ms < 0)
        ms = 0; // a clock never runs back past the capture's start
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%lld.%03lld", static_cast<long long>(ms / 1000),
                  static_cast<long long>(ms % 1000));
    return text.data();
}

void CaptureWriter::writeLine(const std::string& line) {
    errno = 0;
    if (std::fputs(line.c_str(), m_file.get()) >= 0 && std::fputc('\n', m_file.get()) != EOF &&
        std::fflush(m_file.get()) == 0)
        return;
    const int code = errno != 0 ? errno : EIO;
    m_error = "cannot write the capture file '" + m_path.string() + "': " + systemError(code);
}
