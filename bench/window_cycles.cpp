// The window as a user runs it, connected to a meter (the simulator, through VELMAR_COM1), for a
// number of main-frame cycles: each brings three bar frames, one main frame, a stored reading and a
// moving chart and dial. The cycles are counted on the stored readings, so nothing here wakes the
// program up on its own. Prints the voluntary context switches a second of the GUI thread, of the
// whole process and of each thread, and the CPU share over the measured cycles; under callgrind it
// zeroes the counts after the warm-up and dumps them after the last cycle, so that the dump holds
// exactly the measured cycles (window_cycles.sh reads it).
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
#include <map>
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
    // Each living thread's, by task id, with its name.
    std::map<QString, std::pair<QString, long long>> threads;
};

long long voluntarySwitchesOf(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_nvcsw;
}

// Called on the GUI thread. The process's count comes from the kernel's own sum, which keeps the
// switches of threads that ended (a thread pool's idle threads expire): a sum over the threads
// living at each end would lose those, and with them switches made before the first count.
Switches switchesNow() {
    Switches now;
    now.gui = voluntarySwitchesOf(RUSAGE_THREAD);
    now.process = voluntarySwitchesOf(RUSAGE_SELF);
    const QStringList tasks =
        QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& task : tasks) {
        const QString folder = QStringLiteral("/proc/self/task/%1/").arg(task);
        QFile comm(folder + QStringLiteral("comm"));
        const QString name = comm.open(QIODevice::ReadOnly)
                                 ? QString::fromUtf8(comm.readAll().trimmed())
                                 : QStringLiteral("?");
        if (const auto count = voluntarySwitches(folder + QStringLiteral("status")))
            now.threads[task] = {name, *count};
    }
    return now;
}

// Each thread's share, so that a figure above its target says where to look.
void printThreads(const Switches& before, const Switches& after, double seconds) {
    for (const auto& [task, named] : after.threads) {
        const auto was = before.threads.find(task);
        const long long from = was == before.threads.end() ? 0 : was->second.second;
        std::printf("  thread %s (%s): %.1f a second%s\n", qPrintable(task),
                    qPrintable(named.first), double(named.second - from) / seconds,
                    was == before.threads.end() ? ", started meanwhile" : "");
    }
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
        printThreads(before, after, seconds);
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
