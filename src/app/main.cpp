#include "MeterProfile.h"
#include "PublishConfig.h"
#include "SessionLine.h"
#include "TFCOMM.h"
#include "WindowOptions.h"

#include <QApplication>
#include <QMessageBox>
#include <QScreen>

#include <cstdio>

int main(int argc, char* argv[]) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    QString error;
    const std::optional<WindowOptions> options =
        parseWindowOptions(args, error, MeterProfile::names());
    if (!options) {
        std::fprintf(stderr, "velmar: %s\n", qPrintable(error));
        return WindowOptions::kBadArguments;
    }
    if (options->help) {
        std::fputs(qPrintable(windowUsage(MeterProfile::names(), MeterProfile::standard().name)),
                   stdout);
        return WindowOptions::kDone;
    }

    // Broker settings that cannot be used end the program before any window shows, as they end
    // the logger's run; the window's meter is on COM1 until another port is chosen.
    std::optional<PublishConfig> broker;
    if (!options->mqtt.url.isEmpty()) {
        broker = publishConfigOfProcess(options->mqtt, QStringLiteral("COM1"), error);
        if (!broker) {
            std::fprintf(stderr, "velmar: %s\n", qPrintable(error));
            return WindowOptions::kBadArguments;
        }
    }

    QApplication app(argc, argv);
    // The window's exit quits once the publisher has ended (within its wait), not as it hides.
    QApplication::setQuitOnLastWindowClosed(false);
    const MeterProfile* model = MeterProfile::named(options->model);
    auto setup = MeterSession::Setup::forProcess(model ? *model : MeterProfile::standard());
    // Every byte received and sent also goes to the file --capture names.
    setup.line = sessionLine(options->capturePath, error);
    if (!setup.line) {
        const QString message = QStringLiteral("The capture file cannot be written: %1").arg(error);
        std::fprintf(stderr, "velmar: %s\n", qPrintable(message));
        QMessageBox::critical(nullptr, QStringLiteral("velmar"), message);
        return WindowOptions::kCannotCapture;
    }
    TFCOMM FCOMM(nullptr, nullptr, std::move(setup));
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        FCOMM.move(screen->availableGeometry().center() - FCOMM.rect().center());
    if (broker)
        FCOMM.setPublishing(*broker);
    FCOMM.show();
    return QApplication::exec();
}
