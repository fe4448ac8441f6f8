#include "CapturingSerialBackend.h"
#include "PosixSerialBackend.h"
#include "TFCOMM.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>
#include <QScreen>

#include <cstdio>

namespace {

// The line COMM2 talks through: the platform's own, or one that also writes every byte to the
// capture file named by --capture. Null, after saying why, when that file cannot be written.
std::unique_ptr<SerialBackend> lineFor(const QString& capturePath, bool& failed) {
    failed = false;
    if (capturePath.isEmpty())
        return nullptr;
    std::string error;
    std::shared_ptr<CaptureWriter> capture =
        CaptureWriter::open(capturePath.toLocal8Bit().constData(), error);
    if (capture)
        return std::make_unique<CapturingSerialBackend>(std::make_unique<PosixSerialBackend>(),
                                                        std::move(capture));
    failed = true;
    const QString message =
        QStringLiteral("The capture file cannot be written: %1").arg(QString::fromStdString(error));
    std::fprintf(stderr, "velmar: %s\n", qPrintable(message));
    QMessageBox::critical(nullptr, QStringLiteral("velmar"), message);
    return nullptr;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("The VelmarD interface program."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("capture"),
                      QStringLiteral("Write every byte received and sent to <file>."),
                      QStringLiteral("file")});
    parser.process(app);

    bool failed = false;
    std::unique_ptr<SerialBackend> line = lineFor(parser.value(QStringLiteral("capture")), failed);
    if (failed)
        return 1;
    MeterSession::Setup setup;
    setup.line = std::move(line);
    setup.environment = [](const QString& variable) {
        return qEnvironmentVariable(variable.toLatin1().constData());
    };
    TFCOMM FCOMM(nullptr, nullptr, std::move(setup));
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        FCOMM.move(screen->availableGeometry().center() - FCOMM.rect().center());
    FCOMM.show();
    return QApplication::exec();
}
