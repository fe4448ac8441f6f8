// velmar-log: records a meter's readings into a table of readings without a window.
#include "LogOptions.h"
#include "ReadingLogger.h"
#include "SignalPipe.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    // A closed output pipe or a file past its size limit must fail a write, not end the run
    // before the readings are saved.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);

    QString error;
    const std::optional<LogOptions> options = parseLogOptions(app.arguments().mid(1), error);
    if (!options) {
        std::fprintf(stderr, "velmar-log: %s\n", qPrintable(error));
        return ReadingLogger::kBadArguments;
    }
    if (options->help) {
        std::fputs(qPrintable(logUsage()), stdout);
        return ReadingLogger::kDone;
    }

    ReadingLogger logger(*options);
    SignalPipe signalPipe;
    if (!signalPipe.install()) {
        std::perror("velmar-log: cannot watch for SIGINT and SIGTERM");
        return ReadingLogger::kBadArguments;
    }
    QObject::connect(&signalPipe, &SignalPipe::received, &logger, [&logger](int signalNumber) {
        logger.finish(ReadingLogger::kDone, signalNumber == SIGINT ? QStringLiteral("SIGINT")
                                                                   : QStringLiteral("SIGTERM"));
    });
    QObject::connect(&logger, &ReadingLogger::finished, &app, &QCoreApplication::exit);
    if (const std::optional<int> code = logger.start())
        return *code;
    return QCoreApplication::exec();
}
