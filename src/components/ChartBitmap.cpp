#include "ChartBitmap.h"

#include "ExportTarget.h"
#include "FileError.h"

#include <QDir>
#include <QImage>
#include <QImageWriter>
#include <QSaveFile>

namespace {

ChartBitmap::Result failure(const QString& path, const QString& reason) {
    return {false, QStringLiteral("Could not save the graphic to %1: %2")
                       .arg(QDir::toNativeSeparators(path), reason)};
}

} // namespace

QString ChartBitmap::defaultPath() {
#ifdef Q_OS_WIN
    return QStringLiteral("c:\\databmp.bmp");
#else
    return QDir::home().filePath(QStringLiteral("databmp.bmp"));
#endif
}

ChartBitmap::Result ChartBitmap::save(const QImage& picture, const QString& path) {
    if (picture.isNull())
        return failure(path, QStringLiteral("the chart has no picture"));
    QString target; // where the rule for links lets the file be written
    try {
        target = ExportTarget::check(path, {}).filePath();
    } catch (const FileError& error) {
        return failure(path, QString::fromStdString(error.what()));
    }
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly))
        return failure(path, file.errorString());
    QImageWriter writer(&file, "BMP");
    if (!writer.write(picture)) {
        file.cancelWriting();
        return failure(path, writer.errorString());
    }
    if (!file.commit())
        return failure(path, file.errorString());
    return {true, QStringLiteral("graphic has saved on %1").arg(QDir::toNativeSeparators(path))};
}
