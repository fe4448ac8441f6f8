// The window as a user runs it, connected to a meter (the simulator, through VELMAR_COM1), for a
// number of main-frame cycles: each brings three bar frames, one main frame, a stored reading and a
// moving chart and dial. The cycles are counted on the stored readings, so nothing here wakes the
// program up on its own. Prints the voluntary context switches a second of the GUI thread and of
// the whole process and the CPU share over the measured cycles; under callgrind it zeroes the
// counts after the warm-up and dumps them after the last cycle, so that the dump holds exactly the
// measured cycles (window_cycles.sh reads it).
#include "SilentMessages.h"
#include "TFCOMM.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

#include <valgrind/callgrind.h>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

// Voluntary context switches of one task, from its status file.
std::optional<long long> voluntarySwitches(const QString& statusPath) {
    QFile file(statusPath);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray& line : lines) {
        if (line.startsWith("voluntary_ctxt_switches:"))
            return line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
    }
    return std::nullopt;
}

struct Switches {
    long long gui = 0;
    long long process = 0;
};

// The GUI thread is the process's first task; threads that ended before are not counted.
Switches switchesNow() {
    Switches now;
    now.gui =
        voluntarySwitches(QStringLiteral("/proc/self/task/%1/status").arg(getpid())).value_or(0);
    const QStringList tasks =
        QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& task : tasks)
        now.process +=
            voluntarySwitches(QStringLiteral("/proc/self/task/%1/status").arg(task)).value_or(0);
    return now;
}

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

int argument(const QStringList& args, const QString& name, int fallback) {
    const qsizetype at = args.indexOf(name);
    return at >= 0 && at + 1 < args.size() ? args[at + 1].toInt() : fallback;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("VELMAR_COM1")) {
        std::fputs("window_cycles: VELMAR_COM1 must name the simulated meter's line\n", stderr);
        return 2;
    }
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    const int cycles = argument(args, QStringLiteral("--cycles"), 60);
    const int warmUp = argument(args, QStringLiteral("--warm-up"), 5);

    // The window opens its table of readings in the current folder.
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    TFCOMM window(std::make_shared<SilentMessages>());
    window.show();
    auto* grid = window.findChild<QTableView*>(QStringLiteral("DBGrid1"));
    if (!grid || !grid->model()) {
        std::fputs("window_cycles: the window has no grid of readings\n", stderr);
        return 1;
    }

    // Every main frame stores its reading, also one that repeats the last.
    if (auto* repeat = window.findChild<QCheckBox*>(QStringLiteral("RepeatSet")))
        repeat->setChecked(false);

    int stored = 0;
    Switches before;
    double cpuBefore = 0;
    QElapsedTimer wall;
    QObject::connect(grid->model(), &QAbstractItemModel::rowsInserted, &app, [&] {
        ++stored;
        if (stored == warmUp) {
            CALLGRIND_ZERO_STATS;
            before = switchesNow();
            cpuBefore = cpuSeconds();
            wall.start();
        }
        if (stored != warmUp + cycles)
            return;
        CALLGRIND_DUMP_STATS_AT("cycles");
        const Switches after = switchesNow();
        const double seconds = double(wall.nsecsElapsed()) / 1e9;
        const double cpu = cpuSeconds() - cpuBefore;
        std::printf("cycles %d in %.2f s\n", cycles, seconds);
        std::printf("voluntary context switches a second: GUI thread %.1f, process %.1f\n",
                    double(after.gui - before.gui) / seconds,
                    double(after.process - before.process) / seconds);
        std::printf("CPU share %.1f %% (%.3f s of CPU)\n", 100.0 * cpu / seconds, cpu);
        std::fflush(stdout);
        QCoreApplication::exit(0);
    });
    // A run that stops receiving readings ends with a failure instead of waiting for ever.
    QTimer::singleShot((warmUp + cycles) * 500 * 200, &app, [] {
        std::fputs("window_cycles: the readings stopped coming\n", stderr);
        QCoreApplication::exit(1);
    });
    window.BTCon1Click();
    return QApplication::exec();
}
