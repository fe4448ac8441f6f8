#pragma once

#include "CaptureEvent.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

// Writes a capture file: every receive or send event becomes one time-stamped line, flushed at
// once so that a capture taken of a program that then crashes still holds the bytes before the
// crash. Hook record() on the serial component's receive and send paths (CapturingSerialBackend
// does exactly that). A write that fails (full disk) stops the capture; ok() and error() say so,
// and the host says it once.
class CaptureWriter {
public:
    // Milliseconds since the capture began; tests pass their own.
    using Clock = std::function<std::int64_t()>;

    // Creates or empties the file and writes the header. On failure returns nothing and says
    // why in error, naming the file. Without a clock, time runs from this call.
    [[nodiscard]] static std::unique_ptr<CaptureWriter> open(const std::filesystem::path& path,
                                                             std::string& error, Clock clock = {});

    // One event: the bytes received or sent in one call. Nothing is written for no bytes.
    void record(CaptureDirection direction, const std::uint8_t* data, std::size_t size);

    // A comment line with the time, such as "# 3.250 opened /dev/ttyUSB0".
    void note(std::string_view text);

    [[nodiscard]] bool ok() const { return m_error.empty(); }
    // Why writing stopped; empty while it works.
    [[nodiscard]] const std::string& error() const { return m_error; }
    [[nodiscard]] const std::filesystem::path& path() const { return m_path; }

    // "12.345 < 8A000000100A", without the line end.
    [[nodiscard]] static std::string formatEvent(const CaptureEvent& event);
    // 12345 ms as "12.345".
    [[nodiscard]] static std::string formatTime(std::int64_t ms);

private:
    struct FileCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };

    CaptureWriter(std::filesystem::path path, std::unique_ptr<std::FILE, FileCloser> file,
                  Clock clock);
    void writeLine(const std::string& line);

    std::filesystem::path m_path;
    std::unique_ptr<std::FILE, FileCloser> m_file;
    Clock m_clock;
    std::string m_error;
};
