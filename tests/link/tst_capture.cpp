#include "CaptureReader.h"
#include "CaptureWriter.h"
#include "CapturingSerialBackend.h"
#include "TerminalText.h"

#include "../support/OtherUser.h"

#include <QTemporaryDir>
#include <QtTest>

#include <fstream>
#include <sstream>

namespace {

using Bytes = std::vector<std::uint8_t>;
using Kind = CaptureReader::Line::Kind;

struct ReadBack {
    std::vector<CaptureEvent> events;
    std::vector<CaptureProblem> problems;
};

ReadBack readAll(std::istream& in) {
    ReadBack result;
    CaptureReader reader(in, [&](const CaptureProblem& p) { result.problems.push_back(p); });
    while (auto event = reader.next())
        result.events.push_back(std::move(*event));
    return result;
}

ReadBack readText(const std::string& text) {
    std::istringstream in(text);
    return readAll(in);
}

std::vector<std::string> fileLines(const QString& path) {
    std::ifstream in(path.toStdString());
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// A line with nothing behind it: reads give what the test queues, writes take what it allows.
class ScriptedBackend final : public SerialBackend {
public:
    bool open(const QString&, PortOpenError& whyNot) override {
        if (refuse) {
            whyNot.text = QStringLiteral("busy (in use by another program)");
            return false;
        }
        m_open = true;
        return true;
    }
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    LineSettingsResult applyLineSettings(const SerialLineSettings&) override { return {true, {}}; }
    bool purge(bool, bool) override { return true; }
    qint32 outputQueued() override { return 0; }
    qint32 read(std::uint8_t* buffer, qint32 capacity) override {
        const auto n = std::min<qint32>(capacity, static_cast<qint32>(incoming.size()));
        std::copy_n(incoming.begin(), n, buffer);
        incoming.erase(incoming.begin(), incoming.begin() + n);
        return n;
    }
    WriteResult write(const std::uint8_t*, qint32 count) override {
        return {std::min(count, room), false};
    }
    void waitWritable(int) override {}

    Bytes incoming;
    qint32 room = 1000;
    bool refuse = false;

private:
    bool m_open = false;
};

} // namespace

class TestCapture : public QObject {
    Q_OBJECT

private slots:
    void writtenEventsReadBackUnchanged();
    void linesAreReadAsEventsCommentsOrProblems_data();
    void linesAreReadAsEventsCommentsOrProblems();
    void badLinesAreReportedWithTheirNumbersAndReadingGoesOn();
    void overlongLineIsSkippedAndTheNextEventStillRead();
    void noteStaysOnOneCommentLine();
    void fileThatCannotBeCreatedIsNamedInTheError();
    void fullDiskIsReportedNotIgnored();
    void anotherUsersLinkAtTheCaptureNameIsRefused();
    void backendCapturesWhatCrossesTheLineAndNothingElse();
    void textShownOnATerminalHasItsControlBytesEscaped_data();
    void textShownOnATerminalHasItsControlBytesEscaped();
};

void TestCapture::writtenEventsReadBackUnchanged() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("line.cap"));
    std::int64_t now = 0;
    std::string error;
    auto writer = CaptureWriter::open(path.toStdString(), error, [&now] { return now; });
    QVERIFY2(writer, error.c_str());

    const std::vector<CaptureEvent> events{
        {0, CaptureDirection::Sent, {0x8A}},
        {12, CaptureDirection::Received, {0x8A, 0x00, 0x00, 0x00, 0x10, 0x4A, 0x0A}},
        {100, CaptureDirection::Sent, {0x89}},
        {3'723'456, CaptureDirection::Received, Bytes(300, 0xFF)},
    };
    for (const CaptureEvent& event : events) {
        now = event.timeMs;
        writer->record(event.direction, event.bytes.data(), event.bytes.size());
    }
    writer->record(CaptureDirection::Received, nullptr, 0); // no event for no bytes
    QVERIFY(writer->ok());
    writer.reset();

    const std::vector<std::string> lines = fileLines(path);
    QCOMPARE(lines.front(), std::string(capture::kHeader));
    QCOMPARE(lines.at(4), std::string("0.012 < 8A000000104A0A"));
    std::ifstream in(path.toStdString());
    const ReadBack back = readAll(in);
    QVERIFY(back.problems.empty());
    QVERIFY(back.events == events);
}

void TestCapture::linesAreReadAsEventsCommentsOrProblems_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("kind");
    QTest::addColumn<qint64>("ms");
    QTest::addColumn<QString>("hexOrProblem");

    const auto event = [](const char* name, const char* line, qint64 ms, const char* hex) {
        QTest::newRow(name) << line << int(Kind::Event) << ms << hex;
    };
    const auto problem = [](const char* name, const char* line, const char* why) {
        QTest::newRow(name) << line << int(Kind::Bad) << qint64{0} << why;
    };
    event("as written", "12.345 < 89700800000F010203040A", 12'345, "89700800000F010203040A");
    event("lower case, tabs, Windows line end", "1.5\t>\t  a5\r", 1'500, "A5");
    event("whole seconds", "7 < 0A", 7'000, "0A");
    QTest::newRow("blank") << "  \r" << int(Kind::Blank) << qint64{0} << "";
    QTest::newRow("header") << "# velmar capture 1" << int(Kind::Comment) << qint64{0} << "";
    QTest::newRow("indented note") << "  # 3.000 closed" << int(Kind::Comment) << qint64{0} << "";
    problem("a trace line", "89700800000F010203040A", "time '89700800000F010203040A'");
    problem("time alone", "89", "direction and bytes missing");
    problem("no bytes", "1.000 <", "bytes missing");
    problem("four decimals", "1.0005 < 89", "time '1.0005'");
    problem("negative time", "-1.000 < 89", "time '-1.000'");
    problem("time of letters", "noon < 89", "time 'noon'");
    problem("unknown direction", "1.000 ? 89", "direction '?'");
    problem("arrow for a direction", "1.000 -> 89", "direction '->'");
    problem("odd hex", "1.000 < 897", "odd number of hex digits (3)");
    problem("not hex", "1.000 < 8G", "character 'G'");
    problem("spaced hex", "1.000 < 89 70", "unexpected '70'");
    problem("control byte", "1.000 < 8\x01", "a control byte");
    problem("seconds beyond any capture", "1234567890123.000 < 89", "time");
}

void TestCapture::linesAreReadAsEventsCommentsOrProblems() {
    QFETCH(QString, line);
    QFETCH(int, kind);
    QFETCH(qint64, ms);
    QFETCH(QString, hexOrProblem);

    const CaptureReader::Line parsed = CaptureReader::parseLine(line.toStdString());
    QCOMPARE(int(parsed.kind), kind);
    if (parsed.kind == Kind::Bad) {
        QVERIFY2(QString::fromStdString(parsed.problem).contains(hexOrProblem),
                 parsed.problem.c_str());
        return;
    }
    QVERIFY(parsed.problem.empty());
    if (parsed.kind != Kind::Event)
        return;
    QCOMPARE(qint64{parsed.event.timeMs}, ms);
    const QByteArray bytes(reinterpret_cast<const char*>(parsed.event.bytes.data()),
                           static_cast<qsizetype>(parsed.event.bytes.size()));
    QCOMPARE(QString::fromLatin1(bytes.toHex().toUpper()), hexOrProblem);
}

void TestCapture::badLinesAreReportedWithTheirNumbersAndReadingGoesOn() {
    const ReadBack back = readText("# velmar capture 1\n"
                                   "0.100 > 89\n"
                                   "garbage\n"
                                   "\n"
                                   "0.112 < 8970\n"
                                   "0.200 < zz\n"
                                   "0.300 < 0A"); // last line without its line end
    QCOMPARE(back.events.size(), std::size_t{3});
    QCOMPARE(back.events[1].bytes, (Bytes{0x89, 0x70}));
    QCOMPARE(back.events[2].bytes, Bytes{0x0A});
    QCOMPARE(back.problems.size(), std::size_t{2});
    QCOMPARE(back.problems[0].line, std::int64_t{3});
    QCOMPARE(back.problems[1].line, std::int64_t{6});
}

void TestCapture::overlongLineIsSkippedAndTheNextEventStillRead() {
    std::string text = "0.000 < " + std::string(CaptureReader::kMaxLineChars + 10, 'A') + "\n";
    text += std::string("\x00\xFF\x89\x0D", 4) + "\n"; // binary junk
    text += "0.001 < 89\n";
    const ReadBack back = readText(text);
    QCOMPARE(back.events.size(), std::size_t{1});
    QCOMPARE(back.events[0].bytes, Bytes{0x89});
    QCOMPARE(back.problems.size(), std::size_t{2});
    QCOMPARE(back.problems[0].line, std::int64_t{1});
    QVERIFY2(back.problems[0].text.find("longer than") != std::string::npos,
             back.problems[0].text.c_str());
    QCOMPARE(back.problems[1].line, std::int64_t{2});
}

void TestCapture::noteStaysOnOneCommentLine() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("notes.cap"));
    std::string error;
    auto writer = CaptureWriter::open(path.toStdString(), error, [] { return 2'500; });
    QVERIFY2(writer, error.c_str());
    writer->note("cannot open /dev/x:\nbusy\r\n0.000 < 89");
    writer.reset();

    const std::vector<std::string> lines = fileLines(path);
    QCOMPARE(lines.back(), std::string("# 2.500 cannot open /dev/x: busy  0.000 < 89"));
    std::ifstream in(path.toStdString());
    const ReadBack back = readAll(in);
    QVERIFY(back.events.empty());
    QVERIFY(back.problems.empty());
}

void TestCapture::fileThatCannotBeCreatedIsNamedInTheError() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const std::string path = dir.filePath(QStringLiteral("missing/line.cap")).toStdString();
    std::string error;
    QVERIFY(!CaptureWriter::open(path, error));
    QVERIFY2(error.find("'" + path + "'") != std::string::npos, error.c_str());
    QVERIFY2(error.find("No such file") != std::string::npos, error.c_str());
}

// In a shared folder another user plants a link to a third user's file at the capture's name:
// the capture is refused, with the reason, and that file keeps its contents.
void TestCapture::anotherUsersLinkAtTheCaptureNameIsRefused() {
    if (!otheruser::available())
        QSKIP("playing another user needs root (CI runs as root)");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0);
    const QString shared = dir.filePath(QStringLiteral("shared"));
    QVERIFY(QDir().mkpath(shared));
    QVERIFY(otheruser::makeShared(shared));
    const QByteArray precious("not a capture\n");
    const QString victim = otheruser::victimFile(dir.path(), precious);
    QVERIFY(!victim.isEmpty());
    const QString path = shared + QStringLiteral("/line.cap");
    QVERIFY(otheruser::plantLink(victim, path));

    std::string error;
    QVERIFY(!CaptureWriter::open(path.toStdString(), error));
    QVERIFY2(error.find("symbolic link") != std::string::npos, error.c_str());
    QFile file(victim);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), precious);
}

void TestCapture::fullDiskIsReportedNotIgnored() {
    if (!QFileInfo::exists(QStringLiteral("/dev/full")))
        QSKIP("no /dev/full on this system");
    std::string error;
    QVERIFY(!CaptureWriter::open("/dev/full", error));
    QVERIFY2(error.find("No space left") != std::string::npos, error.c_str());
}

void TestCapture::backendCapturesWhatCrossesTheLineAndNothingElse() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("backend.cap"));
    std::int64_t now = 0;
    std::string error;
    std::shared_ptr<CaptureWriter> writer =
        CaptureWriter::open(path.toStdString(), error, [&now] { return now; });
    QVERIFY2(writer, error.c_str());
    auto scripted = std::make_unique<ScriptedBackend>();
    ScriptedBackend& line = *scripted;
    CapturingSerialBackend backend(std::move(scripted), writer);

    PortOpenError whyNot;
    line.refuse = true;
    QVERIFY(!backend.open(QStringLiteral("/dev/ttyUSB0"), whyNot));
    line.refuse = false;
    QVERIFY(backend.open(QStringLiteral("/dev/ttyUSB0"), whyNot));

    const std::uint8_t request[] = {0x89, 0xA1};
    line.room = 1; // the device takes one byte now, the rest later
    now = 100;
    QCOMPARE(backend.write(request, 2).taken, 1);
    line.room = 0;
    QCOMPARE(backend.write(request + 1, 1).taken, 0);
    line.room = 1000;
    now = 101;
    QCOMPARE(backend.write(request + 1, 1).taken, 1);

    std::uint8_t buffer[8];
    QCOMPARE(backend.read(buffer, sizeof buffer), 0);
    line.incoming = {0x89, 0x70, 0x08, 0x00, 0x00, 0x0F, 0x01, 0x02, 0x03, 0x04, 0x0A};
    now = 112;
    QCOMPARE(backend.read(buffer, sizeof buffer), 8);
    now = 150;
    QCOMPARE(backend.read(buffer, sizeof buffer), 3);
    backend.close();
    writer.reset();

    std::vector<std::string> lines = fileLines(path);
    lines.erase(lines.begin(), lines.begin() + 3); // header, legend, start time
    const std::vector<std::string> expected{
        "# 0.000 cannot open /dev/ttyUSB0: busy (in use by another program)",
        "# 0.000 opened /dev/ttyUSB0",
        "0.100 > 89",
        "0.101 > A1",
        "0.112 < 89700800000F0102",
        "0.150 < 03040A",
        "# 0.150 closed",
    };
    QCOMPARE(lines, expected);
}

void TestCapture::textShownOnATerminalHasItsControlBytesEscaped_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("shown");
    QTest::newRow("plain text stays") << QByteArray("0.1x < 89") << QByteArray("0.1x < 89");
    QTest::newRow("clear screen and home")
        << QByteArray("\x1b[2J\x1b[H") << QByteArray("\\x1B[2J\\x1B[H");
    QTest::newRow("title set, ended by a bell")
        << QByteArray("\x1b]0;owned\x07") << QByteArray("\\x1B]0;owned\\x07");
    QTest::newRow("carriage return, tab, NUL and DEL")
        << QByteArray("a\rb\tc\0d\x7f", 8) << QByteArray("a\\x0Db\\x09c\\x00d\\x7F");
    QTest::newRow("a backslash cannot forge an escape")
        << QByteArray("\\x1B") << QByteArray("\\\\x1B");
    QTest::newRow("C1 control in UTF-8 and as a lone byte") << QByteArray("\xc2\x9b"
                                                                          "2J\x9b"
                                                                          "2J")
                                                            << QByteArray("\\xC2\\x9B2J\\x9B2J");
    QTest::newRow("printable UTF-8 stays")
        << QByteArray("1.234 k\xce\xa9 \xe2\x82\xac \xf0\x9f\x94\x8b")
        << QByteArray("1.234 k\xce\xa9 \xe2\x82\xac \xf0\x9f\x94\x8b");
    QTest::newRow("overlong, surrogate and cut-short sequences")
        << QByteArray("\xc0\xaf\xed\xa0\x80\xe2\x82")
        << QByteArray("\\xC0\\xAF\\xED\\xA0\\x80\\xE2\\x82");
}

void TestCapture::textShownOnATerminalHasItsControlBytesEscaped() {
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, shown);
    QCOMPARE(QByteArray::fromStdString(terminalSafe(text.toStdString())), shown);
}

QTEST_GUILESS_MAIN(TestCapture)
#include "tst_capture.moc"
