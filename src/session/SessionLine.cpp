#include "SessionLine.h"

#include "CaptureWriter.h"
#include "CapturingSerialBackend.h"
#include "PosixSerialBackend.h"

std::unique_ptr<SerialBackend> sessionLine(const QString& capturePath, QString& error) {
    if (capturePath.isEmpty())
        return std::make_unique<PosixSerialBackend>();
    std::string why;
    std::shared_ptr<CaptureWriter> capture =
        CaptureWriter::open(capturePath.toLocal8Bit().constData(), why);
    if (!capture) {
        error = QString::fromStdString(why);
        return nullptr;
    }
    return std::make_unique<CapturingSerialBackend>(std::make_unique<PosixSerialBackend>(),
                                                    std::move(capture));
}
