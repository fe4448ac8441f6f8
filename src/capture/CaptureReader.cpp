#include "CaptureReader.h"

#include "TerminalText.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

std::vector<std::string_view> fields(std::string_view line) {
    std::vector<std::string_view> parts;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && isBlank(line[i]))
            ++i;
        const std::size_t start = i;
        while (i < line.size() && !isBlank(line[i]))
            ++i;
        if (i > start)
            parts.push_back(line.substr(start, i - start));
    }
    return parts;
}

bool allDigits(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) != 0;
    });
}

// Seconds with up to three decimals; twelve digits of seconds are some 30,000 years.
std::optional<std::int64_t> parseTime(std::string_view text) {
    const std::size_t point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view{} : text.substr(point + 1);
    if (!allDigits(whole) || whole.size() > 12)
        return std::nullopt;
    if (point != std::string_view::npos && (!allDigits(fraction) || fraction.size() > 3))
        return std::nullopt;
    std::int64_t ms = 0;
    for (const char c : whole)
        ms = ms * 10 + (c - '0');
    ms *= 1000;
    std::int64_t scale = 100;
    for (const char c : fraction) {
        ms += (c - '0') * scale;
        scale /= 10;
    }
    return ms;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Fills bytes; returns why the text is no hex, or empty.
std::string parseHex(std::string_view text, std::vector<std::uint8_t>& bytes) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (hexValue(text[i]) >= 0)
            continue;
        const auto c = static_cast<unsigned char>(text[i]);
        const std::string what =
            std::isprint(c) ? "character '" + std::string(1, text[i]) + "'" : "a control byte";
        return what + " in the bytes is not a hex digit";
    }
    if (text.size() % 2 != 0)
        return "odd number of hex digits (" + std::to_string(text.size()) + ")";
    bytes.reserve(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(hexValue(text[i]) << 4 | hexValue(text[i + 1])));
    return {};
}

CaptureReader::Line bad(std::string problem) {
    CaptureReader::Line line;
    line.kind = CaptureReader::Line::Kind::Bad;
    line.problem = std::move(problem);
    return line;
}

// A field of a bad line for a message: cut short, and escaped, since a capture may hold anything.
std::string quoted(std::string_view text) {
    constexpr std::size_t kShown = 24;
    if (text.size() <= kShown)
        return "'" + terminalSafe(text) + "'";
    return "'" + terminalSafe(text.substr(0, kShown)) + "...'";
}

} // namespace

CaptureReader::CaptureReader(std::istream& in, ProblemHandler onProblem)
    : m_in(in), m_onProblem(std::move(onProblem)) {}

std::optional<CaptureEvent> CaptureReader::next() {
    while (readLine()) {
        if (m_tooLong) {
            report("line longer than " + std::to_string(kMaxLineChars) + " characters; skipped");
            continue;
        }
        Line line = parseLine(m_line);
        if (line.kind == Line::Kind::Event)
            return std::move(line.event);
        if (line.kind == Line::Kind::Bad)
            report(std::move(line.problem));
    }
    return std::nullopt;
}

CaptureReader::Line CaptureReader::parseLine(std::string_view text) {
    const std::vector<std::string_view> parts = fields(text);
    Line line;
    if (parts.empty())
        return line;
    if (parts.front().front() == '#') {
        line.kind = Line::Kind::Comment;
        return line;
    }
    const std::optional<std::int64_t> time = parseTime(parts[0]);
    if (!time)
        return bad("time " + quoted(parts[0]) + " is not seconds with up to three decimals");
    if (parts.size() < 3)
        return bad(parts.size() == 1 ? "direction and bytes missing after the time"
                                     : "bytes missing after the direction");
    if (parts.size() > 3)
        return bad("unexpected " + quoted(parts[3]) + " after the bytes");
    const std::string_view mark = parts[1];
    if (mark.size() != 1 || (mark[0] != capture::kReceivedMark && mark[0] != capture::kSentMark))
        return bad("direction " + quoted(mark) + " is neither < (received) nor > (sent)");
    line.event.timeMs = *time;
    line.event.direction =
        mark[0] == capture::kReceivedMark ? CaptureDirection::Received : CaptureDirection::Sent;
    std::string problem = parseHex(parts[2], line.event.bytes);
    if (!problem.empty())
        return bad(std::move(problem));
    line.kind = Line::Kind::Event;
    return line;
}

bool CaptureReader::readLine() {
    m_line.clear();
    m_tooLong = false;
    std::streambuf* buffer = m_in.rdbuf();
    if (buffer == nullptr)
        return false;
    bool any = false;
    for (;;) {
        const int c = buffer->sbumpc();
        if (c == std::char_traits<char>::eof()) {
            m_in.setstate(std::ios::eofbit);
            break;
        }
        any = true;
        if (c == '\n')
            break;
        if (m_line.size() < kMaxLineChars)
            m_line += static_cast<char>(c);
        else
            m_tooLong = true;
    }
    if (any)
        ++m_lineNumber;
    return any;
}

void CaptureReader::report(std::string text) {
    ++m_problemCount;
    if (m_onProblem)
        m_onProblem(CaptureProblem{m_lineNumber, std::move(text)});
}
