// The link's costs: cutting and dispatching one frame, and the whole program's CPU use while it
// talks to the simulated meter.
#include "ChartComponent.h"
#include "DialPanel.h"
#include "FrameCutter.h"
#include "SilentMessages.h"
#include "TCommPortDriver.h"
#include "TFCOMM.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <benchmark/benchmark.h>
#include <sys/resource.h>

namespace {

const std::uint8_t kMainFrame[] = {0x89, 0x70, 0x08, 0x00, 0x00, 0x0F,
                                   0x01, 0x02, 0x03, 0x04, 0x0A};

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void BM_CutOneFrame(benchmark::State& state) {
    int frames = 0;
    FrameCutter cutter([&frames](const QString&) { ++frames; });
    for (auto _ : state)
        cutter.feed(kMainFrame, sizeof kMainFrame);
    benchmark::DoNotOptimize(frames);
}
BENCHMARK(BM_CutOneFrame);

// One main-display frame through the window's receive handler: cut, traced, decoded, shown, and
// the changed controls repainted. Two different readings alternate so that every frame changes
// digits, points and symbols.
void BM_ReceiveAndDispatchOneFrame(benchmark::State& state) {
    const std::uint8_t other[] = {0x89, 0x68, 0x01, 0x00, 0x10, 0x01, 0x05, 0x06, 0x07, 0x08, 0x0A};
    TFCOMM window(std::make_shared<SilentMessages>());
    window.findChild<QTimer*>(QStringLiteral("Timer1"))->stop();
    window.findChild<QTimer*>(QStringLiteral("ConTimer"))->stop();
    window.show();
    QCoreApplication::processEvents();
    bool flip = false;
    for (auto _ : state) {
        flip = !flip;
        window.session().receive(flip ? kMainFrame : other, sizeof kMainFrame);
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_ReceiveAndDispatchOneFrame);

int benchSeconds() {
    const int seconds = qEnvironmentVariableIntValue("VELMAR_BENCH_SECONDS");
    return seconds > 0 ? seconds : 60;
}

// CPU time of this process over wall time while the event loop runs for `seconds`, as a
// percentage of one core. A plain event loop, as the program runs it: waiting with QTest would
// wake every few milliseconds and measure itself.
double cpuPercentWhileRunning(benchmark::State& state, int seconds) {
    QElapsedTimer wall;
    wall.start();
    const double cpu0 = cpuSeconds();
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    const double cpu = cpuSeconds() - cpu0;
    state.SetIterationTime(double(wall.elapsed()) / 1000.0);
    return 100.0 * cpu / (double(wall.elapsed()) / 1000.0);
}

// The program connected to velmar-sim for VELMAR_BENCH_SECONDS (60 by default), with the dial
// and the chart following the readings: CPU time of this process over wall time, as a
// percentage of one core.
void BM_CpuWhileConnected(benchmark::State& state) {
    const int seconds = benchSeconds();
    const QString sim = QCoreApplication::applicationDirPath() + "/../bin/velmar-sim";
    QTemporaryDir dir;
    const QString link = dir.filePath("com1");
    QProcess meter;
    meter.start(sim, {"--link", link});
    if (!meter.waitForStarted() ||
        !QTest::qWaitFor([&] { return QFileInfo::exists(link); }, 5000)) {
        state.SkipWithError("velmar-sim did not start");
        return;
    }
    qputenv("VELMAR_COM1", link.toLocal8Bit());
    TFCOMM window(std::make_shared<SilentMessages>());
    window.show();
    window.BTCon1Click();
    if (!window.session().port().IsConnected()) {
        state.SkipWithError("cannot connect to velmar-sim");
        return;
    }
    double percent = 0;
    std::size_t frames = 0;
    int faceDraws = 0;
    for (auto _ : state) {
        const std::size_t before = window.session().trace().size();
        const int drawsBefore =
            window.findChild<DialPanel*>(QStringLiteral("KD"))->dialPicture().faceDrawCount();
        percent = cpuPercentWhileRunning(state, seconds);
        frames = window.session().trace().size() - before;
        faceDraws =
            window.findChild<DialPanel*>(QStringLiteral("KD"))->dialPicture().faceDrawCount() -
            drawsBefore;
    }
    state.counters["chart_points"] =
        double(window.findChild<ChartComponent*>(QStringLiteral("ChartView"))->pointCount());
    window.BtDiscon1Click();
    meter.terminate();
    meter.waitForFinished();
    state.counters["cpu_percent"] = percent;
    state.counters["frames"] = double(frames);
    state.counters["face_draws"] = faceDraws;
}
BENCHMARK(BM_CpuWhileConnected)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

// The same window for the same time, shown but not connected: what the timers and the idle
// window cost on their own.
void BM_CpuNotConnected(benchmark::State& state) {
    TFCOMM window(std::make_shared<SilentMessages>());
    window.show();
    double percent = 0;
    for (auto _ : state)
        percent = cpuPercentWhileRunning(state, benchSeconds());
    state.counters["cpu_percent"] = percent;
}
BENCHMARK(BM_CpuNotConnected)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace
