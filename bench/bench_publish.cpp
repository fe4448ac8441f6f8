// What publishing to a broker costs velmar-log: the instructions of a run that publishes every
// reading against the same run without --mqtt (both under callgrind, which a busy machine does
// not blur), and the memory of 100,000 readings queued while the broker is away.
#include "../tests/support/MosquittoBroker.h"
#include "LoggerBench.h"
#include "ReadingPublisher.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

struct CallgrindRun {
    double instructions = -1;
    qsizetype stored = 0;
    int exitCode = -1;
};

// velmar-log under callgrind for the bench's seconds, keeping every reading of the meter at
// link; the instructions of the whole process, start-up and end included.
CallgrindRun loggerUnderCallgrind(const QString& link, const QString& dir, const QString& name,
                                  const QStringList& extra) {
    const QString out = dir + "/" + name + ".callgrind";
    QProcess logger;
    logger.start(QStringLiteral("valgrind"),
                 QStringList{"--tool=callgrind", "--callgrind-out-file=" + out,
                             builtProgramsDir() + "velmar-log", "--port", link, "--table",
                             dir + "/" + name + ".DB", "--repeat", "keep", "--duration",
                             QString::number(benchSeconds())} +
                     extra);
    CallgrindRun run;
    if (!logger.waitForFinished((benchSeconds() + 300) * 1000)) {
        logger.kill();
        logger.waitForFinished();
        return run;
    }
    run.exitCode = logger.exitCode();
    run.stored = QString::fromUtf8(logger.readAllStandardOutput()).count(u'\n');
    QFile profile(out);
    if (!profile.open(QIODevice::ReadOnly))
        return run;
    static const QRegularExpression totals(QStringLiteral("^(?:summary|totals): (\\d+)"),
                                           QRegularExpression::MultilineOption);
    const QRegularExpressionMatch m = totals.match(QString::fromUtf8(profile.readAll()));
    if (m.hasMatch())
        run.instructions = m.captured(1).toDouble();
    return run;
}

// velmar-log logging velmar-sim at the meter's rate (two readings a second, --repeat keep) for
// VELMAR_BENCH_SECONDS (60 by default), once publishing every reading to a local mosquitto and
// once without --mqtt: instructions of each run and their ratio (the target is below 1.2).
void BM_LoggerInstructionsPublishingVersusNot(benchmark::State& state) {
    if (QStandardPaths::findExecutable(QStringLiteral("valgrind")).isEmpty()) {
        state.SkipWithError("valgrind is not installed");
        return;
    }
    QTemporaryDir dir;
    const QString link = dir.filePath("meter");
    const SimulatedMeter meter(link, {"--drift", "5"});
    MosquittoBroker broker;
    if (!meter.ready() || !broker.start()) {
        state.SkipWithError("velmar-sim or mosquitto did not start");
        return;
    }
    CallgrindRun plain;
    CallgrindRun mqtt;
    for (auto _ : state) {
        plain = loggerUnderCallgrind(link, dir.path(), "plain", {});
        mqtt = loggerUnderCallgrind(link, dir.path(), "mqtt",
                                    {"--mqtt", broker.url(), "--mqtt-discovery"});
    }
    state.counters["instructions_plain"] = plain.instructions;
    state.counters["instructions_mqtt"] = mqtt.instructions;
    state.counters["ratio"] = mqtt.instructions / plain.instructions;
    state.counters["stored_plain"] = double(plain.stored);
    state.counters["stored_mqtt"] = double(mqtt.stored);
    state.counters["extra_instructions_per_reading"] =
        (mqtt.instructions - plain.instructions) / double(std::max<qsizetype>(1, mqtt.stored));
    state.counters["exit_codes"] = plain.exitCode * 10 + mqtt.exitCode;
}
BENCHMARK(BM_LoggerInstructionsPublishingVersusNot)->Iterations(1)->Unit(benchmark::kSecond);

// 100,000 readings published while the broker is away (nothing listens on its port): resident
// memory they add, and how many went to the spill file. The target is below 10 MB.
void BM_MemoryOf100000QueuedReadings(benchmark::State& state) {
    QTemporaryDir dir;
    MosquittoBroker away; // never started
    PublishConfig config;
    config.host = QStringLiteral("127.0.0.1");
    config.port = away.port();
    config.meterId = QStringLiteral("bench");
    config.discovery = true;
    double growth = 0;
    double spilled = 0;
    double spillBytes = 0;
    for (auto _ : state) {
        ReadingPublisher publisher(config, dir.filePath(".memory.DB.mqtt-queue"),
                                   [] { return QDateTime::currentDateTime(); });
        publisher.setStatus([](const QString&) {});
        publisher.start();
        StoredReading stored;
        stored.run = QStringLiteral("20261207T101500-0a1b2c3d");
        stored.reading.UnitText = QStringLiteral("V");
        stored.reading.AcDcText = QStringLiteral("DC");
        stored.reading.RangeText = QStringLiteral("AUTO");
        const QDateTime start = QDateTime::currentDateTime();
        const double before = residentMegabytes();
        for (qint64 no = 1; no <= 100'000; ++no) {
            stored.no = no;
            stored.at = start.addMSecs(no * 500);
            stored.reading.ReadingText =
                QStringLiteral("0%1.%2").arg(no % 10).arg(no % 100, 2, 10, QChar(u'0'));
            publisher.publish(stored);
            if (no % 1000 == 0)
                QCoreApplication::processEvents(); // the retries go on meanwhile
        }
        growth = residentMegabytes() - before;
        spilled = double(publisher.queue().spilled());
        spillBytes = double(QFileInfo(publisher.queue().path()).size());
        if (publisher.queued() != 100'001) // the readings and the one discovery message
            state.SkipWithError("readings went missing from the queue");
    }
    state.counters["rss_growth_mb"] = growth;
    state.counters["spilled"] = spilled;
    state.counters["spill_file_mb"] = spillBytes / 1048576.0;
}
BENCHMARK(BM_MemoryOf100000QueuedReadings)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
