#include "DataFileExport.h"
#include "ReadingsTable.h"
#include "ReportLayout.h"
#include "ReportRenderer.h"

#include <QGuiApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

// A table of readings holding count pending records, as a long recording leaves it.
class RecordedTable {
public:
    explicit RecordedTable(qint32 count) {
        m_table.setTableName(m_dir.filePath(QStringLiteral("Velmarbdb.DB")));
        m_table.openOrCreate();
        for (qint32 no = 1; no <= count; ++no) {
            m_table.append(ReadingRecord{no, (no * 500) % 86'400'000, QStringLiteral("DC"),
                                         QStringLiteral("-12.345"), QStringLiteral("mV"),
                                         QStringLiteral("AUTO"), -12.345});
        }
    }
    const ReadingsTable& table() const { return m_table; }
    QString path(const QString& name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
    ReadingsTable m_table;
};

void exportMillion(benchmark::State& state, const QString& name) {
    const RecordedTable recorded(1'000'000);
    for (auto _ : state) {
        const ExportResult result = DataFileExport::save(recorded.table(), recorded.path(name));
        if (result.status != ExportResult::Status::Saved)
            state.SkipWithError(result.message.toStdString().c_str());
    }
}

// Save data files as text: 1,000,000 records, written and renamed into place.
void BM_TextExportMillionRecords(benchmark::State& state) {
    exportMillion(state, QStringLiteral("export.xls"));
}
BENCHMARK(BM_TextExportMillionRecords)->Unit(benchmark::kMillisecond)->UseRealTime();

// Save data files as a Paradox table: 1,000,000 records.
void BM_TableExportMillionRecords(benchmark::State& state) {
    exportMillion(state, QStringLiteral("export.db"));
}
BENCHMARK(BM_TableExportMillionRecords)->Unit(benchmark::kMillisecond)->UseRealTime();

// The report of 10,000 records: laid out into pages and rendered to a PDF file.
void BM_ReportTenThousandRecordsToPdf(benchmark::State& state) {
    const RecordedTable recorded(10'000);
    for (auto _ : state) {
        const auto document = ReportLayout::build(TableSnapshot::of(recorded.table()));
        const auto result =
            ReportRenderer::savePdf(*document, recorded.path(QStringLiteral("report.pdf")));
        if (result.status != ReportRenderer::Status::Done)
            state.SkipWithError(result.error.toStdString().c_str());
    }
}
BENCHMARK(BM_ReportTenThousandRecordsToPdf)->Unit(benchmark::kMillisecond)->UseRealTime();

// The page layout alone, for the same table.
void BM_ReportLayoutTenThousandRecords(benchmark::State& state) {
    const RecordedTable recorded(10'000);
    for (auto _ : state)
        benchmark::DoNotOptimize(ReportLayout::build(TableSnapshot::of(recorded.table())));
}
BENCHMARK(BM_ReportLayoutTenThousandRecords)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    // Fonts for the PDF come through the GUI application; no window is shown.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
