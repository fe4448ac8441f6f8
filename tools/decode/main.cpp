// velmar-decode: decodes meter frames, written as the hex text the trace list holds, into one JSON
// object per frame, so that the decoders can be checked against recorded or generated frames.

#include "BarFrameDecoder.h"
#include "CaptureInput.h"
#include "FrameCutter.h"
#include "FrameJson.h"
#include "FrameKind.h"
#include "LinkHealth.h"
#include "MainFrameDecoder.h"
#include "TerminalText.h"

#include <QByteArray>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QString>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

namespace {

constexpr auto kDescription = R"(Decodes meter frames into one JSON object per frame.

Each input line is the hex text of received bytes, as the trace list holds a
frame (e.g. 89700800000F010203040A); lower-case hex and surrounding white space
are accepted. Frames starting 89 print {"kind":"main",...}, frames starting 8A
{"kind":"bar",...}, any other frame or an empty line {"kind":"other"}.

Line feeds: each line is one frame, as the trace list holds it, so every input
line gives exactly one object, even when a data byte inside it is 0A. For raw
captures that hold several frames on a line, --cut cuts a line after every 0A
byte as the program's frame receiver does, giving one object per frame in
order; bytes after the last line feed are decoded as one more frame as they
stand, not dropped.

State: the frames of all inputs are decoded in order as one run of the program,
with the REL state given by --rel. The dial scale the program keeps between
frames is set anew by every main-display frame before it is used, so no frame
decodes differently because of the frames before it.

Notes: a line starting with # (after white space) is a note the program wrote
into its trace, such as its link-health summary, and is skipped.

Summary: --summary prints, instead of the JSON objects, one line with the
counts the program's link health keeps, taken from the trace: frames by kind,
lines too short for their kind, lines of unknown kind, and the stale lines and
reconnects the trace's notes record. Requests and times are not in a trace.

A line that is not hex text is reported on standard error with its line number
and skipped. So is a line of more than 8192 hex digits, the longest line the
program's frame receiver passes on; it is read through without being kept, so
input without line feeds takes no more memory than a line does. Text of a bad
line is shown with its control bytes escaped (\x1B), never sent to the terminal
as it stands.

Exit codes: 0 done, 1 a named file cannot be read, 2 bad arguments (an unknown
option, a missing value, --rel out of range).)";

constexpr int kBadArguments = 2;

// The longest frame the receiver passes on, as hex text, and the longest input line kept in
// memory: that much, with room for white space around it.
constexpr std::size_t kMaxHexDigits = 2 * FrameCutter::kMaxLineBytes;
constexpr std::size_t kMaxInputLine = kMaxHexDigits + 256;

struct Options {
    int relPressState = 0;
    bool cutAtLineFeeds = false;
    // Counts instead of decoding when set (--summary).
    LinkHealth* summary = nullptr;
};

void printLine(const std::string& json) {
    std::fwrite(json.data(), 1, json.size(), stdout);
    std::fputc('\n', stdout);
}

void decodeFrame(const QString& frameHex, const Options& options) {
    if (options.summary) {
        (void)options.summary->countLine(frameHex);
        return;
    }
    switch (frameKindOf(frameHex)) {
    case FrameKind::MainDisplay:
        printLine(FrameJson::mainLine(MainFrameDecoder::decode(frameHex, options.relPressState)));
        return;
    case FrameKind::BarGraph:
        printLine(FrameJson::barLine(BarFrameDecoder::decodeFrame(frameHex)));
        return;
    case FrameKind::Other:
        printLine(FrameJson::otherLine());
        return;
    }
}

// Why a trimmed line is not hex text; empty when it is. Columns count in the untrimmed line.
std::string hexProblem(const QByteArray& hex, qsizetype leadingSpace) {
    for (qsizetype i = 0; i < hex.size(); ++i) {
        const auto c = static_cast<unsigned char>(hex[i]);
        if (std::isxdigit(c))
            continue;
        char what[64];
        if (std::isprint(c))
            std::snprintf(what, sizeof what, "character '%c'", c);
        else
            std::snprintf(what, sizeof what, "byte 0x%02X", c);
        return std::string(what) + " at column " + std::to_string(leadingSpace + i + 1) +
               " is not a hex digit";
    }
    if (hex.size() % 2 != 0)
        return "odd number of hex digits (" + std::to_string(hex.size()) + ")";
    return {};
}

void decodeHexLine(const QByteArray& hex, const Options& options) {
    if (hex.isEmpty()) {
        decodeFrame(QString(), options);
        return;
    }
    if (!options.cutAtLineFeeds) {
        decodeFrame(QString::fromLatin1(hex).toUpper(), options);
        return;
    }
    const QByteArray bytes = QByteArray::fromHex(hex);
    FrameCutter cutter([&](const QString& frameHex) { decodeFrame(frameHex, options); });
    cutter.feed(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                static_cast<std::size_t>(bytes.size()));
    if (!cutter.pending().isEmpty())
        decodeFrame(cutter.pending(), options);
}

// Reads one line without its line feed into raw; false at the end of the input. A line longer
// than kMaxInputLine is read to its end but not kept: raw is left empty and length tells its size.
bool readLine(std::istream& in, std::string& raw, std::size_t& length) {
    raw.clear();
    length = 0;
    std::streambuf* buffer = in.rdbuf();
    bool ended = false;
    for (int c = buffer->sbumpc(); c != std::char_traits<char>::eof(); c = buffer->sbumpc()) {
        if (c == '\n') {
            ended = true;
            break;
        }
        if (++length <= kMaxInputLine)
            raw.push_back(static_cast<char>(c));
    }
    if (!ended)
        in.setstate(std::ios::eofbit);
    if (length > kMaxInputLine)
        raw.clear();
    return ended || length > 0;
}

void decodeStream(std::istream& in, const std::string& name, const Options& options) {
    std::string raw;
    raw.reserve(kMaxInputLine);
    std::size_t length = 0;
    long long number = 0;
    CaptureInput capture(name, [&](const QString& frameHex) { decodeFrame(frameHex, options); });
    while (readLine(in, raw, length)) {
        ++number;
        const QByteArray line = QByteArray::fromStdString(raw);
        const QByteArray hex = line.trimmed();
        if (length > kMaxInputLine || static_cast<std::size_t>(hex.size()) > kMaxHexDigits) {
            std::fflush(stdout);
            std::fprintf(stderr,
                         "velmar-decode: %s:%lld: line of %zu characters is longer than any "
                         "frame (at most %zu hex digits); line skipped\n",
                         name.c_str(), number, length, kMaxHexDigits);
            continue;
        }
        // Notes of the trace and comments of a capture alike start with '#'.
        if (LinkHealth::isNote(QString::fromLatin1(hex.left(1)))) {
            if (options.summary)
                options.summary->countTraceLine(QString::fromLatin1(hex));
            continue;
        }
        if (capture.takeLine(raw, number))
            continue;
        const qsizetype leadingSpace = hex.isEmpty() ? 0 : line.indexOf(hex.front());
        const std::string problem = hexProblem(hex, leadingSpace);
        if (!problem.empty()) {
            std::fflush(stdout);
            std::fprintf(stderr,
                         "velmar-decode: %s:%lld: not a frame's hex text: %s; line skipped\n",
                         name.c_str(), number, problem.c_str());
            continue;
        }
        decodeHexLine(hex, options);
    }
    capture.finish();
}

// Decodes one named file; false (with a message) when it cannot be read.
bool decodeFile(const std::string& path, const Options& options) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        std::fprintf(stderr, "velmar-decode: cannot read '%s': it is a directory\n",
                     terminalSafe(path).c_str());
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "velmar-decode: cannot open '%s': %s\n", terminalSafe(path).c_str(),
                     std::strerror(errno));
        return false;
    }
    decodeStream(in, terminalSafe(path), options);
    if (in.bad()) {
        std::fprintf(stderr, "velmar-decode: error while reading '%s'\n",
                     terminalSafe(path).c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velmar-decode"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(kDescription) + CaptureInput::help());
    parser.addHelpOption();
    const QCommandLineOption relOption(
        QStringLiteral("rel"), QStringLiteral("REL key state: 0 off, 1 relative, 2 relative %."),
        QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption cutOption(
        QStringLiteral("cut"),
        QStringLiteral("Cut lines into frames after every 0A byte, as the receiver does."));
    const QCommandLineOption summaryOption(
        QStringLiteral("summary"),
        QStringLiteral("Print the link-health counts of the trace instead of decoding it."));
    parser.addOption(relOption);
    parser.addOption(cutOption);
    parser.addOption(summaryOption);
    // Earlier versions cut by default and took --whole-lines for today's behaviour.
    QCommandLineOption wholeLinesOption(QStringLiteral("whole-lines"));
    wholeLinesOption.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(wholeLinesOption);
    parser.addPositionalArgument(QStringLiteral("files"),
                                 QStringLiteral("Files of frames; none or - reads standard input."),
                                 QStringLiteral("[files...]"));
    if (!parser.parse(QCoreApplication::arguments())) {
        QString what = parser.errorText();
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty())
            what = QStringLiteral("unknown option '%1'")
                       .arg((unknown.first().size() == 1 ? QStringLiteral("-")
                                                         : QStringLiteral("--")) +
                            unknown.first());
        std::fprintf(stderr, "velmar-decode: %s (see --help)\n",
                     terminalSafe(what.toLocal8Bit().toStdString()).c_str());
        return kBadArguments;
    }
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"))) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }

    Options options;
    options.cutAtLineFeeds = parser.isSet(cutOption);
    const QString rel = parser.value(relOption);
    if (rel != u"0" && rel != u"1" && rel != u"2") {
        std::fprintf(stderr, "velmar-decode: --rel takes 0, 1 or 2, not '%s'\n",
                     terminalSafe(rel.toLocal8Bit().toStdString()).c_str());
        return kBadArguments;
    }
    options.relPressState = rel.toInt();
    LinkHealth summary(LinkHealth::Source::Trace);
    if (parser.isSet(summaryOption))
        options.summary = &summary;

    // Standard input is read a character at a time; without the tie to C's stdio that is cheap.
    std::ios::sync_with_stdio(false);
    QStringList files = parser.positionalArguments();
    if (files.isEmpty())
        files.append(QStringLiteral("-"));
    bool allRead = true;
    for (const QString& file : files) {
        if (file == u"-")
            decodeStream(std::cin, "standard input", options);
        else
            allRead = decodeFile(file.toLocal8Bit().toStdString(), options) && allRead;
    }
    if (options.summary)
        printLine(summary.summaryLine().toStdString());
    std::fflush(stdout);
    return allRead ? 0 : 1;
}
