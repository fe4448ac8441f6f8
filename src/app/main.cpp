#include "CapturingSerialBackend.h"
#include "PosixSerialBackend.h"
#include "TFCOMM.h"
#include "WindowOptions.h"

#include <QApplication>
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
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    QString error;
    const std::optional<WindowOptions> options = parseWindowOptions(args, error);
    if (!options) {
        std::fprintf(stderr, "velmar: %s\n", qPrintable(error));
        return WindowOptions::kBadArguments;
    }
    if (options->help) {
        std::fputs(qPrintable(windowUsage()), stdout);
        return WindowOptions::kDone;
    }

    QApplication app(argc, argv);
    bool failed = false;
    std::unique_ptr<SerialBackend> line = lineFor(options->capturePath, failed);
    if (failed)
        return WindowOptions::kCannotCapture;
    TFCOMM FCOMM(nullptr, nullptr, std::move(line));
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        FCOMM.move(screen->availableGeometry().center() - FCOMM.rect().center());
    FCOMM.show();
    return QApplication::exec();
}
