// The logger connected to a meter played on a pseudo-terminal, while the disk's syncs are slow
// (run under slow_sync_gaps.sh, which preloads the sync shim): the meter's side notes when each
// request arrives, and the program prints the longest gap between requests during a stretch of
// journal syncs and during a periodic save (until the logger says it is saved). A request is due
// every 100 ms, with a pause step every fifth tick, so the longest gap on a quick disk is 200 ms;
// a gap beyond 300 ms is a request delayed by more than 100 ms.
#include "PlayedMeter.h"
#include "ReadingLogger.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <utility>
#include <vector>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir folder;
    if (!folder.isValid())
        return 2;
    PlayedMeter meter;
    if (meter.slavePath().isEmpty())
        return 2;

    LogOptions options;
    options.port = meter.slavePath();
    options.table = QStringLiteral("Velmarbdb");
    options.saveEverySeconds = 3600; // the save is begun by the program, at a known time
    auto setup = MeterSession::Setup::forProcess();
    setup.tableFolder = folder.path();
    ReadingLogger logger(options, nullptr, std::move(setup));
    std::vector<Stretch> stretches;
    logger.setOutput([](const std::string&) { return true; });
    logger.setStatus([&stretches](const QString& line) {
        if (line.contains(QLatin1String("velmar-log:")))
            std::fprintf(stderr, "%s\n", qPrintable(line));
        if (!stretches.empty() && stretches.back().to == 0 &&
            line.contains(QLatin1String(" saved ")))
            stretches.back().to = steadyMs();
    });
    QObject::connect(&logger, &ReadingLogger::finished, &app,
                     [](int code) { QCoreApplication::exit(code); });
    if (const std::optional<int> code = logger.start())
        return *code;

    const auto then = [](int ms, std::function<void()> step) {
        QTimer::singleShot(ms, qApp, std::move(step));
    };
    // Readings come in and the journal is synced once a second; the stretch begins at once, as a
    // logger that waits on each sync would fire a later timer late.
    stretches.push_back({"journal syncs", steadyMs(), 0});
    then(5000, [&] {
        stretches.back().to = steadyMs();
        stretches.push_back({"periodic save", steadyMs(), 0});
        logger.saveTick();
        then(5000, [&] { logger.finish(ReadingLogger::kDone, QStringLiteral("measured")); });
    });
    const int code = QCoreApplication::exec();

    printGaps(meter.requests(), stretches);
    return code;
}
