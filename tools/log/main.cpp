// velmar-log: records a meter's readings into a table of readings without a window.
#include "LogOptions.h"
#include "PublishConfig.h"
#include "ReadingLogger.h"
#include "SessionPublisher.h"
#include "SignalPipe.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <memory>

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
    std::optional<PublishConfig> broker;
    if (!options->mqtt.url.isEmpty()) {
        broker = publishConfigOfProcess(options->mqtt, options->port, error);
        if (!broker) {
            std::fprintf(stderr, "velmar-log: %s\n", qPrintable(error));
            return ReadingLogger::kCannotOpen;
        }
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
    if (const std::optional<int> code = logger.start())
        return *code;

    std::unique_ptr<SessionPublisher> publisher;
    if (broker) {
        publisher = std::make_unique<SessionPublisher>(logger.session(), *broker);
        QObject::connect(
            publisher.get(), &SessionPublisher::refusedAtStart, &logger,
            [&logger](const QString& why) { logger.finish(ReadingLogger::kCannotOpen, why); });
        publisher->start();
    }
    QObject::connect(&logger, &ReadingLogger::finished, &app, [&](int code) {
        if (!publisher) {
            QCoreApplication::exit(code);
            return;
        }
        QObject::connect(publisher.get(), &SessionPublisher::closed, &app,
                         [code] { QCoreApplication::exit(code); });
        publisher->close();
    });
    return QCoreApplication::exec();
}
