#include "ReadingsTable.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <malloc.h>

namespace {

ReadingRecord sampleReading(qint32 no) {
    return {no,
            no % 86'400'000,
            QStringLiteral("DC"),
            QStringLiteral("-12.345"),
            QStringLiteral("mV"),
            QStringLiteral("AUTO"),
            -12.345};
}

void openFresh(ReadingsTable& table, const QTemporaryDir& dir) {
    table.setTableName(dir.filePath(QStringLiteral("Velmarbdb.DB")));
    table.openOrCreate();
}

// Readings 1 to count saved into the table.
void saveReadings(ReadingsTable& table, qint32 count) {
    for (qint32 no = 1; no <= count; ++no)
        table.append(sampleReading(no));
    table.applyUpdates();
}

std::size_t heapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// One reading appended as a pending record (the work of recording per stored reading).
void BM_AppendReading(benchmark::State& state) {
    QTemporaryDir dir;
    ReadingsTable table;
    openFresh(table, dir);
    qint32 no = 0;
    for (auto _ : state)
        table.append(sampleReading(++no));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AppendReading);

// Record/Save of 100,000 pending readings into an empty table, flushed to disk.
void BM_Save100kPendingReadings(benchmark::State& state) {
    QTemporaryDir dir;
    ReadingsTable table;
    openFresh(table, dir);
    for (auto _ : state) {
        state.PauseTiming();
        table.empty();
        for (qint32 no = 1; no <= 100'000; ++no)
            table.append(sampleReading(no));
        state.ResumeTiming();
        table.applyUpdates();
    }
}
BENCHMARK(BM_Save100kPendingReadings)->Unit(benchmark::kMillisecond)->UseRealTime();

// One pending reading saved onto 1,000,000 saved ones, sync included.
void BM_SaveOntoMillionRecords(benchmark::State& state) {
    QTemporaryDir dir;
    ReadingsTable table;
    openFresh(table, dir);
    saveReadings(table, 1'000'000);
    qint32 no = 1'000'000;
    for (auto _ : state) {
        table.append(sampleReading(++no));
        table.applyUpdates();
    }
}
BENCHMARK(BM_SaveOntoMillionRecords)->Unit(benchmark::kMillisecond)->UseRealTime();

// Record/Save of 1,000 pending readings onto a table of range(0) saved records, sync included:
// a save should cost what it adds, whatever the table already holds.
void BM_Save1000PendingOnto(benchmark::State& state) {
    QTemporaryDir dir;
    ReadingsTable table;
    openFresh(table, dir);
    const auto saved = static_cast<qint32>(state.range(0));
    saveReadings(table, saved);
    qint32 no = saved;
    for (auto _ : state) {
        state.PauseTiming();
        for (int i = 0; i < 1000; ++i)
            table.append(sampleReading(++no));
        state.ResumeTiming();
        table.applyUpdates();
    }
}
BENCHMARK(BM_Save1000PendingOnto)
    ->Arg(1000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(20);

// Opening (and closing) a table of 1,000,000 records.
void BM_OpenMillionRecords(benchmark::State& state) {
    QTemporaryDir dir;
    {
        ReadingsTable table;
        openFresh(table, dir);
        saveReadings(table, 1'000'000);
    }
    ReadingsTable table;
    table.setTableName(dir.filePath(QStringLiteral("Velmarbdb.DB")));
    for (auto _ : state) {
        table.open();
        benchmark::DoNotOptimize(table.recordCount());
        table.close();
    }
}
BENCHMARK(BM_OpenMillionRecords)->Unit(benchmark::kMillisecond)->UseRealTime();

// Heap held per pending reading, measured over 1,000,000 of them.
void BM_PendingReadingMemory(benchmark::State& state) {
    constexpr qint32 kReadings = 1'000'000;
    for (auto _ : state) {
        QTemporaryDir dir;
        ReadingsTable table;
        openFresh(table, dir);
        const std::size_t before = heapInUse();
        for (qint32 no = 1; no <= kReadings; ++no)
            table.append(sampleReading(no));
        const std::size_t after = heapInUse();
        state.counters["bytes_per_pending_reading"] =
            static_cast<double>(after - before) / kReadings;
    }
}
BENCHMARK(BM_PendingReadingMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
