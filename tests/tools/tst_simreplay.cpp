#include "CaptureReplay.h"
#include "LineFrames.h"
#include "SimOptions.h"
#include "UniqueFd.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>

namespace {

using Frame = LinePeer::Frame;
using Frames = CaptureReplay::Frames;

CaptureEvent received(std::vector<std::uint8_t> bytes) {
    return {0, CaptureDirection::Received, std::move(bytes)};
}

CaptureEvent sent(std::vector<std::uint8_t> bytes) {
    return {0, CaptureDirection::Sent, std::move(bytes)};
}

const Frame kMainA{0x89, 0x70, 0x08, 0x00, 0x00, 0x0F, 0x01, 0x02, 0x03, 0x04, 0x0A};
const Frame kMainB{0x89, 0x70, 0x08, 0x00, 0x10, 0x0F, 0x05, 0x06, 0x07, 0x08, 0x0A};
const Frame kBarA{0x8A, 0x00, 0x00, 0x00, 0x00, 0x46, 0x0A};
const Frame kBarB{0x8A, 0x00, 0x00, 0x00, 0x10, 0x5C, 0x0A};

Frames twoOfEach() {
    Frames frames;
    frames.main = {kMainA, kMainB};
    frames.bar = {kBarA, kBarB};
    return frames;
}

QString hex(const Frame& frame) {
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(frame.data()), qsizetype(frame.size()))
            .toHex()
            .toUpper());
}

} // namespace

class TestSimReplay : public QObject {
    Q_OBJECT

private slots:
    void framesAreCutAcrossEventsFromReceivedBytesOnly();
    void keyCodesAreIgnoredAndSaidToBe();
    void aKindThatRunsOutStopsAnsweringOnceSaid();
    void loopStartsAKindAgainFromItsFirstFrame();
    void replayOptionsAreCheckedAgainstEachOther_data();
    void replayOptionsAreCheckedAgainstEachOther();
    void simulatorReplaysACaptureOverAPseudoTerminal();
    void captureThatCannotBeReplayedEndsTheRunWithAReason_data();
    void captureThatCannotBeReplayedEndsTheRunWithAReason();
};

void TestSimReplay::framesAreCutAcrossEventsFromReceivedBytesOnly() {
    const Frames frames = CaptureReplay::cutFrames({
        sent({0x89}),
        received({0x89, 0x70, 0x08}),
        received({0x00, 0x00, 0x0F, 0x01, 0x02, 0x03, 0x04, 0x0A, 0x8A, 0x00, 0x00}),
        sent({0x8A, 0x0A}), // a stray line feed the program sent ends no frame
        received({0x00, 0x00, 0x46, 0x0A, 0x55, 0x0A, 0x89, 0x70}),
    });
    QCOMPARE(frames.main.size(), std::size_t{1});
    QCOMPARE(hex(frames.main[0]), hex(kMainA));
    QCOMPARE(frames.bar.size(), std::size_t{1});
    QCOMPARE(hex(frames.bar[0]), hex(kBarA));
    QCOMPARE(frames.others, std::size_t{1});
    QCOMPARE(frames.unfinishedBytes, std::size_t{2});

    // A line that never ends is cut at the program's bound, not held whole.
    const Frames endless =
        CaptureReplay::cutFrames({received(Frame(CaptureReplay::kMaxFrameBytes * 2 + 3, 0x89))});
    QCOMPARE(endless.main.size(), std::size_t{2});
    QCOMPARE(endless.unfinishedBytes, std::size_t{3});
}

void TestSimReplay::keyCodesAreIgnoredAndSaidToBe() {
    QStringList notices;
    CaptureReplay replay(twoOfEach(), false,
                         [&](const std::string& line) { notices << QString::fromStdString(line); });
    QVERIFY(replay.receive(0xA5).empty());
    QVERIFY(replay.receive(0x41).empty()); // no key: ignored without a word, as the meter does
    QCOMPARE(hex(replay.receive(0x89)), hex(kMainA)); // the key took no frame
    QCOMPARE(notices.size(), 1);
    QVERIFY2(notices[0].contains("0xA5 (Hold short) ignored"), qPrintable(notices[0]));
    QCOMPARE(QString::fromStdString(replay.describe(0xA5)),
             QStringLiteral("Hold short, ignored in a replay"));
}

void TestSimReplay::aKindThatRunsOutStopsAnsweringOnceSaid() {
    QStringList notices;
    Frames frames = twoOfEach();
    frames.bar.clear();
    CaptureReplay replay(std::move(frames), false,
                         [&](const std::string& line) { notices << QString::fromStdString(line); });
    QVERIFY(replay.receive(0x8A).empty());
    QVERIFY(replay.receive(0x8A).empty());
    QVERIFY(!replay.receive(0x89).empty());
    QVERIFY(!replay.receive(0x89).empty());
    QVERIFY(replay.receive(0x89).empty());
    QVERIFY(replay.receive(0x89).empty());
    QCOMPARE(notices.size(), 2);
    QVERIFY2(notices[0].contains("no bar-graph frames"), qPrintable(notices[0]));
    QVERIFY2(notices[1].contains("all 2 main-display frames") && notices[1].contains("unanswered"),
             qPrintable(notices[1]));
}

void TestSimReplay::loopStartsAKindAgainFromItsFirstFrame() {
    QStringList notices;
    CaptureReplay replay(twoOfEach(), true,
                         [&](const std::string& line) { notices << QString::fromStdString(line); });
    QStringList answers;
    for (int i = 0; i < 5; ++i)
        answers << hex(replay.receive(0x89));
    QCOMPARE(answers,
             (QStringList{hex(kMainA), hex(kMainB), hex(kMainA), hex(kMainB), hex(kMainA)}));
    QCOMPARE(notices.size(), 1);
    QVERIFY2(notices[0].contains("starting again"), qPrintable(notices[0]));
}

void TestSimReplay::replayOptionsAreCheckedAgainstEachOther_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("error"); // empty: accepted

    QTest::newRow("replay with a link and a loop")
        << QStringList{"--replay", "a.cap", "--link=/tmp/m", "--loop", "--trace"} << "";
    QTest::newRow("loop alone") << QStringList{"--loop"} << "--loop needs --replay";
    QTest::newRow("replay and a meter state")
        << QStringList{"--replay=a.cap", "--function", "ohm"} << "--function sets the meter's";
    QTest::newRow("meter state before replay")
        << QStringList{"--hold", "--replay", "a.cap"} << "--hold sets the meter's";
    QTest::newRow("empty capture path") << QStringList{"--replay="} << "--replay";
}

void TestSimReplay::replayOptionsAreCheckedAgainstEachOther() {
    QFETCH(QStringList, args);
    QFETCH(QString, error);
    std::vector<std::string> arguments;
    for (const QString& arg : args)
        arguments.push_back(arg.toStdString());
    std::string why;
    const auto options = parseSimOptions(arguments, why);
    if (error.isEmpty()) {
        QVERIFY2(options, why.c_str());
        QCOMPARE(options->replayPath, std::string("a.cap"));
        QVERIFY(options->loop);
        return;
    }
    QVERIFY(!options);
    QVERIFY2(QString::fromStdString(why).contains(error), why.c_str());
}

void TestSimReplay::simulatorReplaysACaptureOverAPseudoTerminal() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("line.cap"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("# velmar capture 1\n"
               "0.000 > 8A\n"
               "0.010 < 8A0000\n"
               "0.011 < 0000460A\n"
               "0.100 > 89\n"
               "0.112 < " +
               hex(kMainA).toLatin1() +
               "\n"
               "0.150 > A5\n"
               "oops\n"
               "0.200 > 8A\n"
               "0.207 < " +
               hex(kBarB).toLatin1() + "\n");
    file.close();

    QProcess sim;
    sim.start(QStringLiteral(VELMAR_SIM_BINARY), {"--replay", path});
    sim.setReadChannel(QProcess::StandardOutput);
    QVERIFY(sim.waitForReadyRead(5000));
    const std::string device = QString::fromLocal8Bit(sim.readLine()).trimmed().toStdString();
    UniqueFd client(::open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    QVERIFY2(client.valid(), device.c_str());

    // The main-display frame is used up by the first 0x89, so the second goes unanswered; the
    // bar frame after it shows the server went on in order.
    const std::uint8_t requests[] = {0x8A, 0xA5, 0x89, 0x8A, 0x89, 0x8A};
    const auto start = std::chrono::steady_clock::now();
    QCOMPARE(::write(client.get(), requests, sizeof requests), ssize_t{sizeof requests});
    const QList<Frame> frames = readFrames(client.get(), 3);
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    client.reset();
    sim.terminate();
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitCode(), 0);
    const QString errors = QString::fromLocal8Bit(sim.readAllStandardError());

    QStringList got;
    for (const Frame& frame : frames)
        got << hex(frame);
    QCOMPARE(got, (QStringList{hex(kBarA), hex(kMainA), hex(kBarB)}));
    // 25 bytes at 9600 baud take 26 ms on a real line.
    QVERIFY2(elapsed > 0.025, qPrintable(QString::number(elapsed)));
    QVERIFY2(errors.contains(path + ":8: not a capture event"), qPrintable(errors));
    QVERIFY2(errors.contains("1 main-display and 2 bar-graph frames"), qPrintable(errors));
    QVERIFY2(errors.contains("Hold short) ignored"), qPrintable(errors));
    QVERIFY2(errors.contains("all 1 main-display frames of the capture replayed"),
             qPrintable(errors));
}

void TestSimReplay::captureThatCannotBeReplayedEndsTheRunWithAReason_data() {
    QTest::addColumn<QByteArray>("content"); // empty: no file at all
    QTest::addColumn<QString>("reason");
    QTest::newRow("no such file") << QByteArray() << "cannot open the capture";
    QTest::newRow("only requests")
        << QByteArray("0.000 > 89\n0.100 > 8A\n") << "holds no main-display or bar-graph frame";
    QTest::newRow("a trace, not a capture")
        << QByteArray("89700800000F010203040A\n") << ":1: not a capture event";
    // A line that would clear the terminal is named with its bytes escaped.
    QTest::newRow("control bytes in a bad line")
        << QByteArray("\x1b[2J\x1b[3J\x1b[H\x07 < 890A\n")
        << ":1: not a capture event: time '\\x1B[2J\\x1B[3J\\x1B[H\\x07'";
}

void TestSimReplay::captureThatCannotBeReplayedEndsTheRunWithAReason() {
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("line.cap"));
    if (!content.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QProcess sim;
    sim.start(QStringLiteral(VELMAR_SIM_BINARY), {"--replay", path});
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitCode(), 1);
    QVERIFY(sim.readAllStandardOutput().isEmpty());
    const QByteArray raw = sim.readAllStandardError();
    const QString errors = QString::fromLocal8Bit(raw);
    QVERIFY2(errors.contains(reason), qPrintable(errors));
    QVERIFY2(!raw.contains('\x1b') && !raw.contains('\x07'), qPrintable(errors));
}

QTEST_GUILESS_MAIN(TestSimReplay)
#include "tst_simreplay.moc"
