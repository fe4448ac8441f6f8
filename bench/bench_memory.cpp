// Memory per stored reading while connected: main-display frames through the window's receive
// handler as fast as it takes them (not in real time), every one stored, once the trace of frames
// has reached its bound. Reports the heap's growth per reading and what the growth is made of:
// the pending readings of the table, the chart's history and the rest (grid, model, caches).
// Also the first 30 minutes of a fresh window, as the meter sends them (three bar frames and a
// main-display frame a reading, two readings a second), trace and all.
#include "ChartComponent.h"
#include "MeterSession.h"
#include "ReadingsTable.h"
#include "SilentMessages.h"
#include "TFCOMM.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFile>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <cstdint>

namespace {

// The heap in use, in bytes.
double heapInUse() {
    return double(mallinfo2().uordblks);
}

double residentBytes() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * double(sysconf(_SC_PAGESIZE)) : 0;
}

// A main-display frame of the same unit and range whose digits follow `n`, so that every one is a
// new reading on the same chart.
void sendReading(TFCOMM& window, int n) {
    std::uint8_t frame[] = {0x89, 0x70, 0x08, 0x00, 0x00, 0x0F, 0x01, 0x02, 0x03, 0x04, 0x0A};
    frame[7] = static_cast<std::uint8_t>(n % 10);
    frame[8] = static_cast<std::uint8_t>(n / 10 % 10);
    frame[9] = static_cast<std::uint8_t>(n / 100 % 10);
    window.session().receive(frame, sizeof frame);
}

void BM_MemoryPerStoredReading(benchmark::State& state) {
    const auto window = std::make_unique<TFCOMM>(std::make_shared<SilentMessages>());
    for (const char* timer : {"Timer1", "ConTimer", "Trecord"})
        window->findChild<QTimer*>(QLatin1String(timer))->stop();
    window->findChild<QCheckBox*>(QStringLiteral("RepeatSet"))->setChecked(false);
    window->limitessClick();
    window->show();
    QCoreApplication::processEvents();
    // The trace of frames at its bound first, so that what grows after is the readings' share.
    int n = 0;
    while (window->session().trace().size() < TraceList::kDefaultCapacity)
        sendReading(*window, n++);
    QCoreApplication::processEvents();

    const qint64 readings = state.range(0);
    const double heapBefore = heapInUse();
    const double residentBefore = residentBytes();
    const qint64 pendingBefore = window->session().table().recordCount();
    const auto* chart = window->findChild<ChartComponent*>(QStringLiteral("ChartView"));
    const qint64 chartBefore = qint64(chart->points().bytesUsed());
    for (auto _ : state) {
        for (qint64 i = 0; i < readings; ++i) {
            sendReading(*window, n++);
            // The screen catches up now and then, as it does between frames.
            if (i % 64 == 0)
                QCoreApplication::processEvents();
        }
        QCoreApplication::processEvents();
    }
    const double stored = double(window->session().table().recordCount() - pendingBefore);
    const double heap = heapInUse() - heapBefore;
    const double chartGrowth = double(qint64(chart->points().bytesUsed()) - chartBefore);
    state.counters["stored"] = stored;
    state.counters["heap_MB"] = heap / 1e6;
    state.counters["resident_MB"] = (residentBytes() - residentBefore) / 1e6;
    state.counters["heap_per_reading"] = heap / stored;
    state.counters["chart_per_reading"] = chartGrowth / stored;
}
BENCHMARK(BM_MemoryPerStoredReading)->Arg(100'000)->Iterations(1)->Unit(benchmark::kMillisecond);

void sendBarFrame(TFCOMM& window, int n) {
    std::uint8_t frame[] = {0x8A, 0x12, 0x34, 0x56, 0x78, 0x9A, 0x0A};
    frame[5] = static_cast<std::uint8_t>(n % 41);
    window.session().receive(frame, sizeof frame);
}

// A fresh window over its first 30 minutes (3,600 readings at two a second), each reading with the
// bar frames that come with it: the heap's growth per stored reading from the start, before the
// trace reaches any bound; and the same past the first minute, once the pictures the panels keep
// of what they drew (a few hundred kilobytes, made by the first readings) are made.
void BM_MemoryPerReadingFirst30Minutes(benchmark::State& state) {
    const qint64 readings = 30 * 60 * 2;
    const qint64 firstMinute = 60 * 2;
    double heap = 0;
    double pastFirstMinute = 0;
    double stored = 0;
    for (auto _ : state) {
        const double heapBefore = heapInUse();
        double heapAtOneMinute = 0;
        {
            const auto window = std::make_unique<TFCOMM>(std::make_shared<SilentMessages>());
            for (const char* timer : {"Timer1", "ConTimer", "Trecord"})
                window->findChild<QTimer*>(QLatin1String(timer))->stop();
            window->findChild<QCheckBox*>(QStringLiteral("RepeatSet"))->setChecked(false);
            window->show();
            QCoreApplication::processEvents();
            const double heapStarted = heapInUse();
            const qint64 pendingBefore = window->session().table().recordCount();
            for (int n = 0; n < readings; ++n) {
                for (int bar = 0; bar < 3; ++bar)
                    sendBarFrame(*window, n + bar);
                sendReading(*window, n);
                QCoreApplication::processEvents();
                if (n + 1 == firstMinute)
                    heapAtOneMinute = heapInUse();
            }
            stored = double(window->session().table().recordCount() - pendingBefore);
            heap = heapInUse() - heapStarted;
            pastFirstMinute = (heapInUse() - heapAtOneMinute) / double(readings - firstMinute);
            state.counters["startup_MB"] = (heapStarted - heapBefore) / 1e6;
            state.counters["trace_lines"] = double(window->session().trace().size());
            state.counters["trace_kB"] = double(window->session().trace().bytes()) / 1e3;
        }
    }
    state.counters["stored"] = stored;
    state.counters["heap_per_reading"] = heap / stored;
    state.counters["past_1st_minute_per_reading"] = pastFirstMinute;
}
BENCHMARK(BM_MemoryPerReadingFirst30Minutes)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
