#include "CaptureInput.h"

#include "CaptureReader.h"

#include <cstdio>

namespace {

bool isCaptureShaped(std::string_view line) {
    const std::size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return false;
    return line[first] == '#' || line.find_first_of(".<>") != std::string_view::npos;
}

} // namespace

CaptureInput::CaptureInput(std::string inputName, FrameHandler onFrame)
    : m_name(std::move(inputName)), m_onFrame(std::move(onFrame)),
      m_cutter([this](const QString& frameHex) { m_onFrame(frameHex); }) {}

bool CaptureInput::takeLine(std::string_view line, long long number) {
    if (!isCaptureShaped(line))
        return false;
    const CaptureReader::Line parsed = CaptureReader::parseLine(line);
    if (parsed.kind == CaptureReader::Line::Kind::Bad) {
        std::fflush(stdout);
        std::fprintf(stderr, "velmar-decode: %s:%lld: not a capture event: %s; line skipped\n",
                     m_name.c_str(), number, parsed.problem.c_str());
        return true;
    }
    if (parsed.kind != CaptureReader::Line::Kind::Event ||
        parsed.event.direction != CaptureDirection::Received)
        return true;
    m_cutter.feed(parsed.event.bytes.data(), parsed.event.bytes.size());
    return true;
}

void CaptureInput::finish() {
    const QString tail = m_cutter.pending();
    if (tail.isEmpty())
        return;
    m_cutter.reset();
    std::fflush(stdout);
    std::fprintf(stderr,
                 "velmar-decode: %s: the capture ends inside a frame (%lld bytes without their "
                 "line feed); decoded as they stand\n",
                 m_name.c_str(), static_cast<long long>(tail.size() / 2));
    m_onFrame(tail);
}

QString CaptureInput::help() {
    return QStringLiteral(R"(

Capture files: lines such as "12.345 < 89700800000F010203040A" (time in
seconds, < received or > sent, the bytes in hex) are read as the events of a
capture file, which may stand beside trace lines in the same input. Received
bytes are cut into frames after every 0A byte across events, so a frame split
over several receive events is decoded whole; sent bytes are requests and key
codes, not frames, and are passed over; lines starting with # are comments.
Bytes after the last line feed of an input are decoded as they stand, with a
note on standard error. A capture line that is no good event is reported on
standard error with its line number and skipped.)");
}
