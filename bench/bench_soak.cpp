// A bad line left running: random bytes without a single line feed, as a meter with the wrong
// speed or a noisy cable sends them. Checks that memory stays bounded and the window keeps
// answering. VELMAR_SOAK_SECONDS sets the duration of the run over the port (600 by default);
// VELMAR_SOAK_RATE the bytes per second (960, a full 9600-baud line).
#include "FrameCutter.h"
#include "LinkHealth.h"
#include "SilentMessages.h"
#include "TCommPortDriver.h"
#include "TFCOMM.h"
#include "TraceList.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <random>
#include <stdlib.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

double maxResidentMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

int environmentOr(const char* name, int fallback) {
    const int value = qEnvironmentVariableIntValue(name);
    return value > 0 ? value : fallback;
}

std::vector<std::uint8_t> junk(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> byte(0, 255);
    std::vector<std::uint8_t> bytes(size);
    for (auto& b : bytes) {
        do
            b = static_cast<std::uint8_t>(byte(random));
        while (b == 0x0A);
    }
    return bytes;
}

// Ten minutes of a full 9600-baud line of junk (576,000 bytes) through the link's own pieces, in
// 48-byte receive events stamped 50 ms apart: cutter, line verdicts, health and trace.
void BM_TenMinutesOfJunkThroughTheLinkPieces(benchmark::State& state) {
    const std::vector<std::uint8_t> bytes = junk(576'000, 1);
    for (auto _ : state) {
        TraceList trace;
        LinkHealth health;
        health.restart(0);
        qint64 now = 0;
        FrameCutter cutter([&](const QString& line) {
            trace.append(line);
            (void)health.countLine(line, now);
        });
        for (std::size_t at = 0; at < bytes.size(); at += 48) {
            now += 50;
            cutter.feed(bytes.data() + at, std::min<std::size_t>(48, bytes.size() - at), now);
        }
        state.counters["trace_mb"] = double(trace.bytes()) / (1024.0 * 1024.0);
        state.counters["lines"] = double(health.unknownLines() + health.mainFrames() +
                                         health.barFrames() + health.shortLines());
    }
    state.counters["max_rss_mb"] = maxResidentMegabytes();
}
BENCHMARK(BM_TenMinutesOfJunkThroughTheLinkPieces)->Unit(benchmark::kMillisecond);

// The same ten minutes of junk through the window's receive handler, without waiting for them:
// the memory the program settles at, and the longest single receive event.
void BM_TenMinutesOfJunkThroughTheWindow(benchmark::State& state) {
    const std::vector<std::uint8_t> bytes = junk(576'000, 3);
    TFCOMM window(std::make_shared<SilentMessages>());
    window.findChild<QTimer*>(QStringLiteral("Timer1"))->stop();
    window.findChild<QTimer*>(QStringLiteral("ConTimer"))->stop();
    window.show();
    QCoreApplication::processEvents();
    qint64 worstEventUs = 0;
    for (auto _ : state) {
        for (std::size_t at = 0; at < bytes.size(); at += 48) {
            QElapsedTimer event;
            event.start();
            window.session().receive(bytes.data() + at,
                                     qint32(std::min<std::size_t>(48, bytes.size() - at)));
            QCoreApplication::processEvents();
            worstEventUs = std::max(worstEventUs, event.nsecsElapsed() / 1000);
        }
    }
    state.counters["worst_event_ms"] = double(worstEventUs) / 1000.0;
    state.counters["max_rss_mb"] = maxResidentMegabytes();
    state.counters["trace_mb"] = double(window.session().trace().bytes()) / (1024.0 * 1024.0);
}
BENCHMARK(BM_TenMinutesOfJunkThroughTheWindow)->Iterations(3)->Unit(benchmark::kMillisecond);

// A pseudo-terminal standing in for the bad line.
struct JunkLine {
    int master = -1;
    QString slavePath;

    JunkLine() {
        master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
            return;
        slavePath = QString::fromLocal8Bit(::ptsname(master));
    }
    ~JunkLine() {
        if (master >= 0)
            ::close(master);
    }
    JunkLine(const JunkLine&) = delete;
    JunkLine& operator=(const JunkLine&) = delete;
};

// The whole program connected to the bad line for VELMAR_SOAK_SECONDS. Every 100 ms a probe is
// posted to the window's event loop; its worst wait is how long a click would go unanswered.
void BM_SoakJunkOverThePort(benchmark::State& state) {
    const int seconds = environmentOr("VELMAR_SOAK_SECONDS", 600);
    const int rate = environmentOr("VELMAR_SOAK_RATE", 960);
    JunkLine line;
    if (line.master < 0) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    qputenv("VELMAR_COM1", line.slavePath.toLocal8Bit());
    TFCOMM window(std::make_shared<SilentMessages>());
    window.show();
    window.BTCon1Click();
    if (!window.session().port().IsConnected()) {
        state.SkipWithError("cannot open the pseudo-terminal");
        return;
    }

    ::fcntl(line.master, F_SETFL, ::fcntl(line.master, F_GETFL) | O_NONBLOCK);
    std::atomic<bool> running{true};
    std::thread meter([&] {
        const std::vector<std::uint8_t> bytes = junk(std::size_t(rate) * 10, 2);
        std::size_t at = 0;
        char drained[4096];
        const auto step = std::chrono::milliseconds(10);
        const std::size_t perStep = std::max<std::size_t>(1, std::size_t(rate) / 100);
        while (running) {
            (void)!::write(line.master, bytes.data() + at, perStep);
            at = (at + perStep) % (bytes.size() - perStep);
            while (::read(line.master, drained, sizeof drained) > 0) {
            } // the requests, so the line never fills
            std::this_thread::sleep_for(step);
        }
    });
    qint64 worstMs = 0;
    for (auto _ : state) {
        QElapsedTimer wall;
        wall.start();
        QTimer probe;
        QObject::connect(&probe, &QTimer::timeout, [&worstMs] {
            QElapsedTimer posted;
            posted.start();
            QTimer::singleShot(
                0, [posted, &worstMs] { worstMs = std::max(worstMs, posted.elapsed()); });
        });
        probe.start(100);
        QTest::qWait(seconds * 1000);
        state.SetIterationTime(double(wall.elapsed()) / 1000.0);
    }
    running = false;
    meter.join();
    window.BtDiscon1Click();
    state.counters["seconds"] = seconds;
    state.counters["worst_answer_ms"] = double(worstMs);
    state.counters["max_rss_mb"] = maxResidentMegabytes();
    state.counters["trace_lines"] = double(window.session().trace().size());
    state.counters["trace_mb"] = double(window.session().trace().bytes()) / (1024.0 * 1024.0);
}
BENCHMARK(BM_SoakJunkOverThePort)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace
