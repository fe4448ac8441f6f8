// velmar-log's costs: its CPU use while it logs from velmar-sim, and its memory as the stored
// readings grow.
#include "LoggerBench.h"
#include "MeterModel.h"
#include "ReadingLogger.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <csignal>

namespace {

// User and system time of a process so far, in seconds, from /proc.
double cpuSecondsOf(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    // Fields after the command's closing parenthesis; utime and stime are the 12th and 13th.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    const double ticks = double(sysconf(_SC_CLK_TCK));
    return (fields[11].toDouble() + fields[12].toDouble()) / ticks;
}

// velmar-log, as built, logging every reading of velmar-sim for VELMAR_BENCH_SECONDS (60 by
// default): its CPU time over wall time, as a percentage of one core.
void BM_LoggerCpuWhileLogging(benchmark::State& state) {
    QTemporaryDir dir;
    const QString link = dir.filePath("meter");
    const SimulatedMeter meter(link);
    if (!meter.ready()) {
        state.SkipWithError("velmar-sim did not start");
        return;
    }
    QProcess logger;
    logger.start(builtProgramsDir() + "velmar-log",
                 {"--port", link, "--table", dir.filePath("bench.DB"), "--repeat", "keep"});
    if (!logger.waitForStarted()) {
        state.SkipWithError("velmar-log did not start");
        return;
    }
    double percent = 0;
    qsizetype stored = 0;
    for (auto _ : state) {
        QThread::msleep(1000); // past start-up: opening the port and the table
        const double cpu0 = cpuSecondsOf(logger.processId());
        QElapsedTimer wall;
        wall.start();
        QThread::msleep(static_cast<unsigned long>(benchSeconds()) * 1000);
        const double cpu = cpuSecondsOf(logger.processId()) - cpu0;
        percent = 100.0 * cpu / (double(wall.elapsed()) / 1000.0);
        state.SetIterationTime(double(wall.elapsed()) / 1000.0);
    }
    ::kill(static_cast<pid_t>(logger.processId()), SIGTERM);
    logger.waitForFinished(30'000);
    stored = QString::fromUtf8(logger.readAllStandardOutput()).count(u'\n');
    state.counters["cpu_percent"] = percent;
    state.counters["stored"] = double(stored);
    state.counters["exit_code"] = logger.exitCode();
}
BENCHMARK(BM_LoggerCpuWhileLogging)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

// A logger that keeps every reading of a meter whose reading changes every frame, its table in
// dir.
LogOptions keepingEveryReading(const QTemporaryDir& dir) {
    LogOptions options;
    options.port = "COM1";
    options.table = dir.filePath("memory.DB");
    options.skipRepeats = false;
    return options;
}

MeterSettings changingEveryFrame() {
    MeterSettings settings;
    settings.driftPercent = 20;
    settings.driftPeriodSeconds = 7;
    return settings;
}

// The logger's table fed as fast as it takes them by a simulated meter whose reading changes
// every frame, saving every 1,000 readings: resident memory after the first 1,000 stored
// readings and after 100,000.
void BM_LoggerMemoryAfter100000Readings(benchmark::State& state) {
    QTemporaryDir dir;
    const LogOptions options = keepingEveryReading(dir);
    const MeterSettings settings = changingEveryFrame();
    double at1000 = 0;
    double at100000 = 0;
    for (auto _ : state) {
        ReadingLogger logger(options);
        logger.setOutput([](const std::string&) { return true; });
        logger.setStatus([](const QString&) {});
        if (logger.openTable()) {
            state.SkipWithError("cannot open the table");
            return;
        }
        MeterModel meter(settings);
        while (logger.recording().RecordedCount < 100'000) {
            meter.advance(0.5);
            const LinePeer::Frame frame = meter.receive(MeterModel::kMainRequest);
            logger.receive(frame.data(), frame.size());
            const qint32 stored = logger.recording().RecordedCount;
            if (stored % 1000 == 0 && logger.table().pendingCount() > 0)
                logger.saveTick();
            if (stored == 1000 && at1000 == 0)
                at1000 = residentMegabytes();
        }
        at100000 = residentMegabytes();
        logger.finish(ReadingLogger::kDone, {});
    }
    state.counters["rss_mb_at_1000"] = at1000;
    state.counters["rss_mb_at_100000"] = at100000;
    state.counters["growth_mb"] = at100000 - at1000;
}
BENCHMARK(BM_LoggerMemoryAfter100000Readings)->Iterations(1)->Unit(benchmark::kSecond);

// The logger's first 30 minutes (3,600 readings at two a second) as the meter sends them, three
// bar frames and a main-display frame a reading, saving every 10 s as by default: the heap's
// growth per stored reading from the opened table on, trace and all.
void BM_LoggerMemoryPerReadingFirst30Minutes(benchmark::State& state) {
    QTemporaryDir dir;
    const LogOptions options = keepingEveryReading(dir);
    const MeterSettings settings = changingEveryFrame();
    const qint32 readings = 30 * 60 * 2;
    double heap = 0;
    double stored = 0;
    for (auto _ : state) {
        ReadingLogger logger(options);
        logger.setOutput([](const std::string&) { return true; });
        logger.setStatus([](const QString&) {});
        if (logger.openTable()) {
            state.SkipWithError("cannot open the table");
            return;
        }
        const auto heapStarted = double(mallinfo2().uordblks);
        MeterModel meter(settings);
        while (logger.recording().RecordedCount < readings) {
            meter.advance(0.5);
            for (int bar = 0; bar < 3; ++bar) {
                const LinePeer::Frame frame = meter.receive(MeterModel::kBarRequest);
                logger.receive(frame.data(), frame.size());
            }
            const LinePeer::Frame frame = meter.receive(MeterModel::kMainRequest);
            logger.receive(frame.data(), frame.size());
            if (logger.recording().RecordedCount % 20 == 0 && logger.table().pendingCount() > 0)
                logger.saveTick();
        }
        heap = double(mallinfo2().uordblks) - heapStarted;
        stored = double(logger.recording().RecordedCount);
        logger.finish(ReadingLogger::kDone, {});
    }
    state.counters["stored"] = stored;
    state.counters["heap_per_reading"] = heap / stored;
}
BENCHMARK(BM_LoggerMemoryPerReadingFirst30Minutes)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace
