#include "LineFrames.h"
#include "MeterModel.h"
#include "PtyServer.h"
#include "SimOptions.h"
#include "UniqueFd.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using Frame = MeterModel::Frame;

QString hex(const Frame& frame) {
    QStringList bytes;
    for (std::uint8_t byte : frame)
        bytes << QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
    return bytes.join(QLatin1Char(' '));
}

MeterSettings fixedAt(double value) {
    MeterSettings settings;
    settings.fixedInput = value;
    return settings;
}

// A frame is whole when its only line feed is its last byte.
bool endsAtItsOnlyLineFeed(const Frame& frame) {
    if (frame.empty() || frame.back() != MeterModel::kLineFeed)
        return false;
    return std::find(frame.begin(), frame.end() - 1, MeterModel::kLineFeed) == frame.end() - 1;
}

// Whether both frames end cleanly in autorange and in each manual range, with four and five
// digits, recording or not; warns with the first frame that does not.
bool framesEndCleanlyInEveryRange(MeterSettings settings) {
    const int ranges = static_cast<int>(functionInfo(settings.function).ranges.size());
    for (int range = -1; range < ranges; ++range) {
        settings.manualRange = range < 0 ? std::nullopt : std::optional<int>(range);
        settings.recording = range % 2 == 0;
        for (bool five : {false, true}) {
            settings.fiveDigit = five;
            const MeterModel meter(settings);
            if (!endsAtItsOnlyLineFeed(meter.mainFrame()) ||
                !endsAtItsOnlyLineFeed(meter.barFrame())) {
                qWarning("stray line feed: %s / %s", qPrintable(hex(meter.mainFrame())),
                         qPrintable(hex(meter.barFrame())));
                return false;
            }
        }
    }
    return true;
}

std::vector<std::string> toArguments(const QStringList& args) {
    std::vector<std::string> arguments;
    for (const QString& arg : args)
        arguments.push_back(arg.toStdString());
    return arguments;
}

std::optional<SimOptions> optionsFrom(const QStringList& args) {
    std::string error;
    auto options = parseSimOptions(toArguments(args), error);
    if (!options)
        qWarning("%s", error.c_str());
    return options;
}

double seconds(std::chrono::steady_clock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

void writeBytes(int fd, const Frame& bytes) {
    QCOMPARE(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

// The server loop on its own thread, stopped and joined when the test is done with it.
class ServedMeter {
public:
    explicit ServedMeter(const MeterSettings& settings) : m_meter(settings) {
        std::string error;
        m_server = PtyServer::open(error);
        if (!m_server)
            qFatal("cannot open a pseudo-terminal: %s", error.c_str());
        m_thread = std::thread([this] { m_ran = m_server->run(m_meter, m_stop, {}); });
    }
    ~ServedMeter() { static_cast<void>(stop()); }

    [[nodiscard]] const std::string& path() const { return m_server->slavePath(); }

    // Stops the loop; true when it had run without failing.
    [[nodiscard]] bool stop() {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        return m_ran;
    }

    [[nodiscard]] double cpuSeconds() {
        clockid_t clock{};
        timespec used{};
        if (::pthread_getcpuclockid(m_thread.native_handle(), &clock) != 0 ||
            ::clock_gettime(clock, &used) != 0)
            return -1.0;
        return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) * 1e-9;
    }

private:
    MeterModel m_meter;
    std::unique_ptr<PtyServer> m_server;
    std::atomic<bool> m_stop{false};
    bool m_ran = false;
    std::thread m_thread;
};

// A program's side of the line: the terminal opened as a serial port would be.
UniqueFd openClient(const std::string& path) {
    return UniqueFd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
}

} // namespace

class TestSimMeter : public QObject {
    Q_OBJECT

private slots:
    void mainFrameShowsTheMeterState_data();
    void mainFrameShowsTheMeterState();
    void barFrameCarriesSignOverloadAndLength_data();
    void barFrameCarriesSignOverloadAndLength();
    void noFrameHoldsALineFeedBeforeItsEnd();
    void noFrameHoldsALineFeedWhateverKeysArePressed();
    void requestsGetTheirFramesAndOtherBytesAreIgnored();

    void rangeKeyStepsThroughManualRangesAndLongPressRestoresAutorange();
    void holdFreezesTheReadingUntilReleased();
    void hzKeyCyclesFrequencyDutyAndFunction();
    void hzKeyIsIgnoredInResistance();
    void relativeModeShowsTheDriftFromTheZeroedValue();
    void maxMinKeyCyclesTheRecordedStatistics();
    void peakKeyTogglesPeakCaptureOrTheBuzzer();
    void selectKeyStepsThroughTheFunctionsBothWays();
    void changingFunctionLeavesHoldAndRecording();

    void commandLineSetsTheStartingState();
    void badCommandLinesAreRejectedWithAReason_data();
    void badCommandLinesAreRejectedWithAReason();

    void serverAnswersRequestsInOrderAtLineSpeed();
    void serverKeepsServingAfterTheProgramClosesThePort();

    void simulatorLinksItsTerminalAndRemovesTheLinkOnTerminate();
    void simulatorLeavesAFileInPlaceOfTheLinkUntouched();
    void simulatorRejectsABadOptionWithAMessage();
};

// The states are spelt as the simulator's command line, so that a row can be tried by hand.
void TestSimMeter::mainFrameShowsTheMeterState_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("frame");

    const auto row = [](const char* name, QStringList args, const char* frame) {
        QTest::newRow(name) << args << QString::fromLatin1(frame);
    };
    row("12.34 V DC autorange, as the meter starts", {}, "89 70 08 00 00 0F 01 02 03 04 0A");
    row("negative reading sets the minus bit", {"--value=-5.678"},
        "89 70 00 00 10 0F 05 06 07 08 0A");
    row("reading that rounds to zero has no minus", {"--value=-0.0004"},
        "89 70 00 00 00 0F 00 00 00 00 0A");
    row("input beyond the top range is an overload", {"--value=9000"},
        "89 70 18 00 08 0F 00 00 00 00 0A");
    row("negative overload sets minus and OL", {"--value=-9000"},
        "89 70 18 00 18 0F 00 00 00 00 0A");
    row("forced overload keeps the range", {"--overload"}, "89 70 08 00 08 0F 00 00 00 00 0A");
    row("five-digit mode uses the leading digit", {"--five-digit"},
        "89 70 08 00 04 01 02 03 04 00 0A");
    row("manual range sets bit 6 and loses a digit", {"--range=2"},
        "89 70 50 00 00 0F 00 01 02 03 0A");
    row("frequency mode: ModeBits 100, five digits", {"--frequency"},
        "89 70 0C 00 04 00 05 00 00 00 0A");
    row("frequency of kilohertz picks the kHz range", {"--frequency", "--hz=1234.5"},
        "89 70 14 00 04 01 02 03 04 05 0A");
    row("duty mode: ModeBits 101, four digits", {"--duty"}, "89 70 05 00 00 0F 05 00 00 00 0A");
    row("AC volts: function 15 with the AC bit", {"--function=acv"},
        "89 79 18 00 00 0F 02 03 00 00 0A");
    row("4.7 kilohm in the kilohm range", {"--function=ohm"}, "89 60 08 00 00 0F 04 07 00 00 0A");
    row("47 nF: function 12 with the capacitance bit", {"--function=cap"},
        "89 61 08 00 00 0F 04 07 00 00 0A");
    row("2 gigaohm in the nanosiemens range reads 0.50 nS",
        {"--function=ohm", "--range=6", "--value=2e9"}, "89 60 70 00 00 0F 00 00 05 00 0A");
    row("low battery and hold", {"--low-battery", "--hold"}, "89 70 08 00 21 0F 01 02 03 04 0A");
    row("recording starts on MAX", {"--rec"}, "89 70 08 48 00 0F 01 02 03 04 0A");
    row("model VelmarC: 8000 counts", {"--model=VelmarC"}, "89 70 08 00 00 0F 01 02 03 04 0A");
    row("model VelmarD: 80000 counts", {"--model=VelmarD"}, "89 70 08 00 04 01 02 03 04 00 0A");
    row("model Tessik: 8000 counts", {"--model", "tessik"}, "89 70 08 00 00 0F 01 02 03 04 0A");
}

void TestSimMeter::mainFrameShowsTheMeterState() {
    QFETCH(QStringList, args);
    QFETCH(QString, frame);
    const auto options = optionsFrom(args);
    QVERIFY(options);
    QCOMPARE(hex(MeterModel(options->meter).mainFrame()), frame);
}

void TestSimMeter::barFrameCarriesSignOverloadAndLength_data() {
    QTest::addColumn<double>("input");
    QTest::addColumn<bool>("negative");
    QTest::addColumn<bool>("overload");
    QTest::addColumn<int>("length");

    QTest::newRow("12.34 V of 80 V") << 12.34 << false << false << 6;
    QTest::newRow("-5.678 V of 8 V") << -5.678 << true << false << 28;
    QTest::newRow("2 V gives ten segments") << 2.0 << false << false << 10;
    QTest::newRow("just below full scale") << 7.999 << false << false << 39;
    QTest::newRow("zero") << 0.0 << false << false << 0;
    QTest::newRow("overload fills the bar") << 9000.0 << false << true << MeterModel::kBarSegments;
    QTest::newRow("negative overload") << -9000.0 << true << true << MeterModel::kBarSegments;
}

void TestSimMeter::barFrameCarriesSignOverloadAndLength() {
    QFETCH(double, input);
    QFETCH(bool, negative);
    QFETCH(bool, overload);
    QFETCH(int, length);

    const Frame bar = MeterModel(fixedAt(input)).barFrame();
    QCOMPARE(bar.size(), std::size_t{7});
    QCOMPARE(bar.front(), MeterModel::kBarRequest);
    QCOMPARE(bar.back(), MeterModel::kLineFeed);
    QCOMPARE(bool(bar[4] & 0x10), negative);
    QCOMPARE(bool(bar[4] & 0x08), overload);
    QCOMPARE(bar[5] & 0x3F, length);
}

void TestSimMeter::noFrameHoldsALineFeedBeforeItsEnd() {
    const double inputs[] = {0.0, 1e-12, 1e-9,  2e-6, 1e-3, 0.01, 0.1,  1.0,
                             2.0, 10.0,  100.0, 1e4,  1e9,  -1.0, -2.0, -10.0};
    for (int f = 0; f < kFunctionCount; ++f) {
        for (double input : inputs) {
            MeterSettings settings = fixedAt(input);
            settings.function = static_cast<MeterFunction>(f);
            QVERIFY2(framesEndCleanlyInEveryRange(settings),
                     functionInfo(settings.function).name.data());
        }
    }
}

void TestSimMeter::noFrameHoldsALineFeedWhateverKeysArePressed() {
    MeterModel meter;
    std::uint32_t random = 12345;
    for (int step = 0; step < 5000; ++step) {
        random = random * 1664525u + 1013904223u;
        meter.pressKey(static_cast<std::uint8_t>(0xA0 + (random >> 16) % 14));
        meter.advance(0.7);
        QVERIFY2(endsAtItsOnlyLineFeed(meter.mainFrame()), qPrintable(hex(meter.mainFrame())));
        QVERIFY2(endsAtItsOnlyLineFeed(meter.barFrame()), qPrintable(hex(meter.barFrame())));
    }
}

void TestSimMeter::requestsGetTheirFramesAndOtherBytesAreIgnored() {
    MeterModel meter(fixedAt(3.3));
    const Frame before = meter.mainFrame();
    QCOMPARE(hex(meter.receive(0x89)), hex(before));
    QCOMPARE(hex(meter.receive(0x8A)), hex(meter.barFrame()));
    for (std::uint8_t stray : {0x00, 0x0A, 0x41, 0x88, 0x8B, 0x9F, 0xAE, 0xFF}) {
        QVERIFY(meter.receive(stray).empty());
        QVERIFY(!meter.pressKey(stray));
    }
    QCOMPARE(hex(meter.mainFrame()), hex(before));
    QVERIFY(meter.receive(0xA5).empty());
    QVERIFY(hex(meter.mainFrame()) != hex(before));
}

void TestSimMeter::rangeKeyStepsThroughManualRangesAndLongPressRestoresAutorange() {
    MeterModel meter(fixedAt(12.34));
    const struct {
        std::uint8_t key;
        const char* frame;
    } steps[] = {
        {0xA1, "89 70 48 00 00 0F 01 02 03 04 0A"}, // manual, autorange's range kept
        {0xA1, "89 70 50 00 00 0F 00 01 02 03 0A"}, {0xA1, "89 70 58 00 00 0F 00 00 01 02 0A"},
        {0xA1, "89 70 40 00 08 0F 00 00 00 00 0A"}, // back to 8 V: overload
        {0xA1, "89 70 48 00 00 0F 01 02 03 04 0A"}, {0xA0, "89 70 08 00 00 0F 01 02 03 04 0A"},
    };
    for (const auto& step : steps) {
        meter.pressKey(step.key);
        QCOMPARE(hex(meter.mainFrame()), QString::fromLatin1(step.frame));
    }
}

void TestSimMeter::holdFreezesTheReadingUntilReleased() {
    MeterModel meter; // drifting by 0.5 % over 30 s
    meter.pressKey(0xA5);
    QCOMPARE(hex(meter.mainFrame()), QStringLiteral("89 70 08 00 01 0F 01 02 03 04 0A"));
    meter.advance(7.5); // the drift's crest: 12.40 V
    QCOMPARE(hex(meter.mainFrame()), QStringLiteral("89 70 08 00 01 0F 01 02 03 04 0A"));
    meter.pressKey(0xA5);
    QCOMPARE(hex(meter.mainFrame()), QStringLiteral("89 70 08 00 00 0F 01 02 04 00 0A"));
}

void TestSimMeter::hzKeyCyclesFrequencyDutyAndFunction() {
    MeterModel meter;
    const auto modeBits = [&meter] { return meter.mainFrame().at(2) & 0x07; };
    QCOMPARE(modeBits(), 0b000);
    meter.pressKey(0xA3);
    QCOMPARE(modeBits(), 0b100);
    QVERIFY(meter.mainFrame().at(4) & 0x04); // frequency is a five-digit reading
    meter.pressKey(0xA3);
    QCOMPARE(modeBits(), 0b101);
    QVERIFY(!(meter.mainFrame().at(4) & 0x04));
    meter.pressKey(0xA3);
    QCOMPARE(modeBits(), 0b000);
    meter.pressKey(0xA3);
    meter.pressKey(0xA2);
    QCOMPARE(modeBits(), 0b000);
}

void TestSimMeter::hzKeyIsIgnoredInResistance() {
    MeterSettings settings;
    settings.function = MeterFunction::Ohms;
    MeterModel meter(settings);
    const QString before = hex(meter.mainFrame());
    meter.pressKey(0xA3);
    QCOMPARE(hex(meter.mainFrame()), before);
}

void TestSimMeter::relativeModeShowsTheDriftFromTheZeroedValue() {
    MeterModel meter;
    meter.pressKey(0xA7);
    QCOMPARE(hex(meter.mainFrame()), QStringLiteral("89 70 48 00 00 0F 00 00 00 00 0A"));
    meter.advance(22.5); // the drift's trough: 12.28 V, 0.06 V below the zero
    QCOMPARE(hex(meter.mainFrame()), QStringLiteral("89 70 48 00 10 0F 00 00 00 06 0A"));
    meter.pressKey(0xA7);
    QCOMPARE(hex(meter.mainFrame()), QStringLiteral("89 70 48 00 00 0F 01 02 02 08 0A"));
}

void TestSimMeter::maxMinKeyCyclesTheRecordedStatistics() {
    MeterModel meter;
    meter.pressKey(0xA9); // recording from 12.34 V
    meter.advance(7.5);   // 12.40 V
    meter.advance(15.0);  // 12.28 V
    const auto shown = [&meter] {
        const Frame frame = meter.mainFrame();
        return hex(Frame(frame.begin() + 3, frame.begin() + 4)) + " " +
               hex(Frame(frame.begin() + 6, frame.end() - 1));
    };
    QCOMPARE(shown(), QStringLiteral("48 01 02 04 00")); // REC MAX
    meter.pressKey(0xA9);
    QCOMPARE(shown(), QStringLiteral("50 01 02 02 08")); // REC MIN
    meter.pressKey(0xA9);
    QCOMPARE(shown(), QStringLiteral("58 01 02 03 04")); // REC AVG
    meter.pressKey(0xA9);
    QCOMPARE(shown(), QStringLiteral("48 01 02 04 00"));
    meter.pressKey(0xA8);
    QCOMPARE(shown(), QStringLiteral("00 01 02 02 08")); // live again
}

void TestSimMeter::peakKeyTogglesPeakCaptureOrTheBuzzer() {
    MeterModel volts;
    volts.pressKey(0xAB);
    QCOMPARE(volts.mainFrame().at(3), std::uint8_t{0x44}); // REC, 1 ms rate, MAX
    volts.pressKey(0xA9);
    QCOMPARE(volts.mainFrame().at(3), std::uint8_t{0x4C}); // MIN
    volts.pressKey(0xAA);
    QCOMPARE(volts.mainFrame().at(3), std::uint8_t{0x50}); // still recording, MIN

    MeterSettings settings;
    settings.function = MeterFunction::Ohms;
    MeterModel ohms(settings);
    ohms.pressKey(0xAB);
    QCOMPARE(ohms.mainFrame().at(3), std::uint8_t{0x04});
    ohms.pressKey(0xAB);
    QCOMPARE(ohms.mainFrame().at(3), std::uint8_t{0x00});
}

void TestSimMeter::selectKeyStepsThroughTheFunctionsBothWays() {
    const std::uint8_t forward[] = {0x79, 0x68, 0x69, 0x60, 0x61, 0x58,
                                    0x30, 0x31, 0x28, 0x29, 0x70};
    MeterModel meter;
    for (std::uint8_t functionByte : forward) {
        meter.pressKey(0xAD);
        QCOMPARE(hex({meter.mainFrame().at(1)}), hex({functionByte}));
    }
    meter.pressKey(0xAC);
    QCOMPARE(meter.function(), MeterFunction::AcAmps);
    meter.pressKey(0xAC);
    QCOMPARE(meter.function(), MeterFunction::DcAmps);
}

void TestSimMeter::changingFunctionLeavesHoldAndRecording() {
    MeterModel meter;
    meter.pressKey(0xA9);
    meter.pressKey(0xA5);
    meter.pressKey(0xAD);
    const Frame frame = meter.mainFrame();
    QCOMPARE(frame.at(3), std::uint8_t{0x00});
    QCOMPARE(frame.at(4) & 0x01, 0);
}

void TestSimMeter::commandLineSetsTheStartingState() {
    std::string error;
    const auto options = parseSimOptions({"--function", "ohm", "--range=6", "--value", "-2e9",
                                          "--link", "/tmp/com1", "--trace", "--low-battery"},
                                         error);
    QVERIFY2(options, error.c_str());
    QCOMPARE(options->meter.function, MeterFunction::Ohms);
    QCOMPARE(options->meter.manualRange.value_or(-1), 6);
    QCOMPARE(options->meter.fixedInput.value_or(0), -2e9);
    QCOMPARE(options->linkPath, std::string("/tmp/com1"));
    QVERIFY(options->trace);
    QVERIFY(options->meter.lowBattery);

    const auto frequency =
        parseSimOptions({"--frequency", "--hz", "+1234.5", "--five-digit"}, error);
    QVERIFY2(frequency, error.c_str());
    QCOMPARE(frequency->meter.mode, MeasureMode::Frequency);
    QCOMPARE(frequency->meter.frequencyHz, 1234.5);
}

void TestSimMeter::badCommandLinesAreRejectedWithAReason_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("mentions");

    QTest::newRow("range beyond the function's") << QStringList{"--range", "4"} << "--range 4";
    QTest::newRow("range that is no number") << QStringList{"--range", "x"} << "'x'";
    QTest::newRow("unknown function") << QStringList{"--function", "volts"} << "'volts'";
    QTest::newRow("missing value") << QStringList{"--value"} << "needs a value";
    QTest::newRow("value that is no number") << QStringList{"--value", "12V"} << "'12V'";
    QTest::newRow("value not finite") << QStringList{"--value", "inf"} << "'inf'";
    QTest::newRow("zero frequency") << QStringList{"--hz", "0"} << "--hz";
    QTest::newRow("full duty cycle") << QStringList{"--duty-cycle=100"} << "--duty-cycle";
    QTest::newRow("frequency of a resistance")
        << QStringList{"--function", "ohm", "--frequency"} << "ohm";
    QTest::newRow("switch given a value") << QStringList{"--trace=1"} << "takes no value";
    QTest::newRow("stray argument") << QStringList{"com1"} << "'com1'";
    QTest::newRow("empty link path") << QStringList{"--link="} << "--link";
    QTest::newRow("unknown model")
        << QStringList{"--model", "Velmar"} << "VelmarC, VelmarD, Tessik or fs9721";
    QTest::newRow("five digits of a four-digit model")
        << QStringList{"--model=VelmarC", "--five-digit"} << "8000 counts";
}

void TestSimMeter::badCommandLinesAreRejectedWithAReason() {
    QFETCH(QStringList, args);
    QFETCH(QString, mentions);
    std::string error;
    QVERIFY(!parseSimOptions(toArguments(args), error));
    QVERIFY2(QString::fromStdString(error).contains(mentions), error.c_str());
}

void TestSimMeter::serverAnswersRequestsInOrderAtLineSpeed() {
    const MeterSettings settings = fixedAt(5.0);
    ServedMeter served(settings);
    UniqueFd client = openClient(served.path());
    QVERIFY(client.valid());

    const Frame requests{0x8A, 0x89, 0xA5, 0x89};
    MeterModel expected(settings);
    QStringList expectedFrames;
    for (std::uint8_t request : requests) {
        if (const Frame answer = expected.receive(request); !answer.empty())
            expectedFrames << hex(answer);
    }

    const auto start = std::chrono::steady_clock::now();
    writeBytes(client.get(), requests);
    const QList<Frame> frames = readFrames(client.get(), 3);
    const double elapsed = seconds(std::chrono::steady_clock::now() - start);
    client.reset();

    QStringList received;
    for (const Frame& frame : frames)
        received << hex(frame);
    QCOMPARE(received, expectedFrames);
    // 29 bytes at 9600 baud take 30 ms on a real line.
    QVERIFY2(elapsed > 0.028, qPrintable(QString::number(elapsed)));
    QVERIFY(served.stop());
}

void TestSimMeter::serverKeepsServingAfterTheProgramClosesThePort() {
    ServedMeter served(fixedAt(1.0));
    UniqueFd client = openClient(served.path());
    QVERIFY(client.valid());
    writeBytes(client.get(), {0x89});
    QCOMPARE(readFrames(client.get(), 1).size(), 1);
    client.reset();

    const double cpuBefore = served.cpuSeconds();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const double idleCpu = served.cpuSeconds() - cpuBefore;
    QVERIFY2(cpuBefore >= 0 && idleCpu < 0.05, qPrintable(QString::number(idleCpu)));

    client = openClient(served.path());
    QVERIFY(client.valid());
    writeBytes(client.get(), {0x8A});
    const QList<Frame> frames = readFrames(client.get(), 1);
    client.reset();
    QCOMPARE(frames.size(), 1);
    QCOMPARE(frames.front().front(), MeterModel::kBarRequest);
}

void TestSimMeter::simulatorLinksItsTerminalAndRemovesTheLinkOnTerminate() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString link = dir.filePath(QStringLiteral("com1"));
    QVERIFY(QFile::link(QStringLiteral("/nonexistent/pts"), link)); // left by a crashed run

    QProcess sim;
    sim.start(QStringLiteral(VELMAR_SIM_BINARY), {"--link", link, "--value", "1"});
    QVERIFY(sim.waitForReadyRead(5000));
    const QString path = QString::fromLocal8Bit(sim.readLine()).trimmed();
    QVERIFY2(path.startsWith(QLatin1String("/dev/")), qPrintable(path));
    QTRY_COMPARE_WITH_TIMEOUT(QFile::symLinkTarget(link), path, 5000);

    UniqueFd client = openClient(link.toStdString());
    QVERIFY(client.valid());
    writeBytes(client.get(), {0x89});
    const QList<Frame> frames = readFrames(client.get(), 1);
    client.reset();
    QCOMPARE(frames.size(), 1);
    QCOMPARE(hex(frames.front()), QStringLiteral("89 70 00 00 00 0F 01 00 00 00 0A"));

    sim.terminate();
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.exitCode(), 0);
    QVERIFY(!QFileInfo(link).isSymLink());
}

void TestSimMeter::simulatorLeavesAFileInPlaceOfTheLinkUntouched() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("com1"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("keep me");
    file.close();

    QProcess sim;
    sim.start(QStringLiteral(VELMAR_SIM_BINARY), {"--link", path});
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitCode(), 1);
    QVERIFY(sim.readAllStandardError().contains("not a symbolic link"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("keep me"));
}

void TestSimMeter::simulatorRejectsABadOptionWithAMessage() {
    QProcess sim;
    sim.start(QStringLiteral(VELMAR_SIM_BINARY), {"--function", "ohm", "--range", "9"});
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitCode(), 2);
    QVERIFY(sim.readAllStandardOutput().isEmpty());
    QVERIFY(sim.readAllStandardError().contains("--range 9"));
}

QTEST_GUILESS_MAIN(TestSimMeter)
#include "tst_simmeter.moc"
