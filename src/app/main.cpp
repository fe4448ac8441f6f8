#include "SessionLine.h"
#include "TFCOMM.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>
#include <QScreen>

#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("The VelmarD interface program."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("capture"),
                      QStringLiteral("Write every byte received and sent to <file>."),
                      QStringLiteral("file")});
    parser.process(app);

    // Every byte received and sent also goes to the file --capture names.
    QString error;
    MeterSession::Setup setup;
    setup.line = sessionLine(parser.value(QStringLiteral("capture")), error);
    if (!setup.line) {
        const QString message = QStringLiteral("The capture file cannot be written: %1").arg(error);
        std::fprintf(stderr, "velmar: %s\n", qPrintable(message));
        QMessageBox::critical(nullptr, QStringLiteral("velmar"), message);
        return 1;
    }
    setup.environment = [](const QString& variable) {
        return qEnvironmentVariable(variable.toLatin1().constData());
    };
    TFCOMM FCOMM(nullptr, nullptr, std::move(setup));
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        FCOMM.move(screen->availableGeometry().center() - FCOMM.rect().center());
    FCOMM.show();
    return QApplication::exec();
}
