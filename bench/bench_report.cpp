// The memory the printed report of a large table takes, as the user meets it: Print on the
// window, Save as PDF in the preview, Close. Counted are the heap in use (mallinfo2, all arenas)
// before Print, at its highest while the report is prepared, shown and saved, and after the
// preview has closed, and the resident set's peak over the same stretch (VmHWM, reset before
// Print). Times are given too, but on a shared machine the memory figures are the ones to compare.
#include "ReadingsTable.h"
#include "TFCOMM.h"
#include "UserMessages.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <algorithm>
#include <memory>

namespace {

constexpr double kMiB = 1024.0 * 1024.0;

double heapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return double(info.uordblks + info.hblkhd);
}

QByteArray statusLine(const char* key) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(qsizetype(qstrlen(key))).trimmed();
    }
    return {};
}

// kB figures of /proc/self/status, in bytes.
double statusBytes(const char* key) {
    return statusLine(key).split(' ').value(0).toDouble() * 1024.0;
}

// Starts the resident set's high-water mark afresh from what is resident now.
void resetPeakRss() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

// Answers the window's questions as the user would to save the report as PDF, and keeps the
// highest heap seen while the report's work runs.
class SavingMessages final : public UserMessages {
public:
    explicit SavingMessages(QString pdfPath) : m_pdfPath(std::move(pdfPath)) {}

    void error(const QString& text) override { m_failure = text; }
    void information(const QString& text) override { m_failure = text; }
    bool askYesNo(const QString&) override { return false; }
    Answer askYesNoCancel(const QString&) override { return Answer::Cancel; }
    std::optional<QString> chooseFileToOpen(const FileChoice&) override { return std::nullopt; }
    std::optional<QString> chooseFileToSave(const FileChoice&) override { return m_pdfPath; }
    void beep() override {}

    // The preview as the user sees it: shown, painted, saved as PDF, closed.
    void showReportPreview(QWidget* preview) override {
        preview->show();
        QCoreApplication::processEvents();
        sample();
        QAction* save = preview->findChild<QAction*>(QStringLiteral("save"));
        if (!save) {
            m_failure = QStringLiteral("The preview has no Save.");
            return;
        }
        save->trigger();
        sample();
        preview->hide();
    }

    ProgressCallback startProgress(const QString&) override {
        return [this](qsizetype, qsizetype) {
            sample();
            return true;
        };
    }

    void sample() { m_peakHeap = std::max(m_peakHeap, heapInUse()); }
    void startCounting() { m_peakHeap = heapInUse(); }
    [[nodiscard]] double peakHeap() const { return m_peakHeap; }
    [[nodiscard]] const QString& failure() const { return m_failure; }

private:
    QString m_pdfPath;
    QString m_failure;
    double m_peakHeap = 0;
};

// A table of readings of `count` saved records in a folder of its own, the current folder while
// it lives, so that the window opens it at start-up.
class SavedTable {
public:
    explicit SavedTable(qint32 count) {
        QDir::setCurrent(m_dir.path());
        ReadingsTable table;
        table.setTableName(m_dir.filePath(QStringLiteral("Velmarbdb.DB")));
        table.openOrCreate();
        for (qint32 no = 1; no <= count; ++no) {
            table.append(ReadingRecord{no, (no * 500) % 86'400'000, QStringLiteral("DC"),
                                       QStringLiteral("-12.345"), QStringLiteral("mV"),
                                       QStringLiteral("AUTO"), -12.345});
        }
        table.applyUpdates();
        table.close();
    }
    ~SavedTable() { QDir::setCurrent(m_before); }
    SavedTable(const SavedTable&) = delete;
    SavedTable& operator=(const SavedTable&) = delete;

    [[nodiscard]] QString path(const QString& name) const { return m_dir.filePath(name); }

private:
    QString m_before = QDir::currentPath();
    QTemporaryDir m_dir;
};

void BM_ReportMemoryPdf(benchmark::State& state) {
    const SavedTable saved(static_cast<qint32>(state.range(0)));
    const QString pdf = saved.path(QStringLiteral("report.pdf"));
    auto messages = std::make_shared<SavingMessages>(pdf);
    TFCOMM window(messages);
    for (QTimer* timer : window.findChildren<QTimer*>())
        timer->stop();
    window.show();
    QCoreApplication::processEvents();
    auto* print = window.findChild<QToolButton*>(QStringLiteral("SpeedButton2"));
    if (!print) {
        state.SkipWithError("The window has no Print button.");
        return;
    }

    double before = 0;
    double peakHeap = 0;
    double peakRss = 0;
    double peakRssAbsolute = 0;
    double after = 0;
    double rssAfter = 0;
    for (auto _ : state) {
        QFile::remove(pdf);
        malloc_trim(0);
        before = heapInUse();
        resetPeakRss();
        const double rssBefore = statusBytes("VmRSS:");
        messages->startCounting();
        print->click();
        QCoreApplication::processEvents();
        peakHeap = messages->peakHeap();
        peakRssAbsolute = statusBytes("VmHWM:");
        peakRss = peakRssAbsolute - rssBefore;
        after = heapInUse();
        rssAfter = statusBytes("VmRSS:");
    }
    if (!messages->failure().isEmpty())
        state.SkipWithError(messages->failure().toStdString().c_str());
    else if (!QFileInfo::exists(pdf))
        state.SkipWithError("No PDF was written.");
    state.counters["heap_before_MiB"] = before / kMiB;
    state.counters["heap_peak_MiB"] = peakHeap / kMiB;
    state.counters["heap_peak_growth_MiB"] = (peakHeap - before) / kMiB;
    state.counters["rss_peak_growth_MiB"] = peakRss / kMiB;
    state.counters["rss_peak_MiB"] = peakRssAbsolute / kMiB;
    state.counters["heap_after_close_MiB"] = after / kMiB;
    state.counters["heap_kept_MiB"] = (after - before) / kMiB;
    state.counters["rss_after_close_MiB"] = rssAfter / kMiB;
    state.counters["pdf_MiB"] = double(QFileInfo(pdf).size()) / kMiB;
}
BENCHMARK(BM_ReportMemoryPdf)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

} // namespace
