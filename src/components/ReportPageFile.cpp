#include "ReportPageFile.h"

#include "ExportTarget.h"
#include "FileError.h"

#include <QDataStream>
#include <QFile>
#include <QSaveFile>

#include <cmath>

namespace {

constexpr quint32 kMagic = 0x56525047; // "VRPG"
constexpr quint16 kVersion = 1;
constexpr QDataStream::Version kStreamVersion = QDataStream::Qt_6_0;
// Far beyond any real report; keeps a damaged or foreign file from asking for absurd memory.
constexpr qint64 kLargestFile = qint64{1} << 30;
constexpr double kLargestPage = 10000.0; // millimetres
// The fewest bytes a page and a text take in the file: counts, coordinates, anchor, length.
constexpr qint64 kSmallestPage = 4;
constexpr qint64 kSmallestText = 8 + 8 + 1 + 4;

bool isPlace(double value) {
    return std::isfinite(value) && value >= -kLargestPage && value <= kLargestPage;
}

ReportPageFile::Loaded refused(const QString& reason) {
    return {std::nullopt,
            QStringLiteral("This is not a report page file that can be read: %1").arg(reason)};
}

// Reads a count and makes sure the bytes left could hold that many items.
std::optional<quint32> readCount(QDataStream& in, qint64 smallestItem) {
    quint32 count = 0;
    in >> count;
    if (in.status() != QDataStream::Ok)
        return std::nullopt;
    const qint64 left = in.device()->bytesAvailable();
    if (static_cast<qint64>(count) > left / smallestItem)
        return std::nullopt;
    return count;
}

std::optional<PlacedText> readText(QDataStream& in) {
    PlacedText text;
    quint8 anchor = 0;
    in >> text.x >> text.y >> anchor >> text.text;
    if (in.status() != QDataStream::Ok || !isPlace(text.x) || !isPlace(text.y) || anchor > 1)
        return std::nullopt;
    text.anchor = static_cast<PlacedText::Anchor>(anchor);
    return text;
}

std::optional<ReportPage> readPage(QDataStream& in) {
    const std::optional<quint32> count = readCount(in, kSmallestText);
    if (!count)
        return std::nullopt;
    ReportPage page;
    page.texts.reserve(*count);
    for (quint32 i = 0; i < *count; ++i) {
        std::optional<PlacedText> text = readText(in);
        if (!text)
            return std::nullopt;
        page.texts.push_back(std::move(*text));
    }
    return page;
}

// The file's form: the magic number, the version, the paper size, then each page as a count of
// texts and the texts.
void writePages(QDataStream& out, const ReportPages& pages) {
    const QSizeF size = pages.pageSize();
    out << kMagic << kVersion << size.width() << size.height()
        << static_cast<quint32>(pages.pageCount());
    for (qsizetype i = 0; i < pages.pageCount() && out.status() == QDataStream::Ok; ++i) {
        const ReportPage page = pages.page(i);
        out << static_cast<quint32>(page.texts.size());
        for (const PlacedText& text : page.texts)
            out << text.x << text.y << static_cast<quint8>(text.anchor) << text.text;
    }
}

} // namespace

QByteArray ReportPageFile::encode(const ReportDocument& document) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(kStreamVersion);
    writePages(out, DocumentPages(document));
    return bytes;
}

ReportPageFile::Loaded ReportPageFile::decode(const QByteArray& bytes) {
    QDataStream in(bytes);
    in.setVersion(kStreamVersion);
    quint32 magic = 0;
    quint16 version = 0;
    in >> magic >> version;
    if (in.status() != QDataStream::Ok || magic != kMagic)
        return refused(QStringLiteral("it was not written by this program."));
    if (version != kVersion)
        return refused(QStringLiteral("it was written by a newer version of this program."));
    double width = 0;
    double height = 0;
    in >> width >> height;
    if (in.status() != QDataStream::Ok || !isPlace(width) || !isPlace(height) || width <= 0 ||
        height <= 0)
        return refused(QStringLiteral("its paper size is damaged."));
    ReportDocument document;
    document.pageSize = QSizeF(width, height);
    const std::optional<quint32> pages = readCount(in, kSmallestPage);
    if (!pages)
        return refused(QStringLiteral("it is damaged or cut short."));
    for (quint32 i = 0; i < *pages; ++i) {
        std::optional<ReportPage> page = readPage(in);
        if (!page)
            return refused(QStringLiteral("page %1 is damaged or cut short.").arg(i + 1));
        document.pages.push_back(std::move(*page));
    }
    if (!in.atEnd())
        return refused(QStringLiteral("it has bytes after its last page."));
    return {std::move(document), {}};
}

QString ReportPageFile::save(const ReportDocument& document, const QString& path) {
    return save(DocumentPages(document), path);
}

QString ReportPageFile::save(const ReportPages& pages, const QString& path) {
    QString target; // where the rule for links lets the file be written
    try {
        target = ExportTarget::check(path, {}).filePath();
    } catch (const FileError& error) {
        return QString::fromStdString(error.what());
    }
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly))
        return QStringLiteral("Could not write '%1': %2").arg(path, file.errorString());
    QDataStream out(&file);
    out.setVersion(kStreamVersion);
    writePages(out, pages);
    if (out.status() != QDataStream::Ok || !file.commit())
        return QStringLiteral("Could not write '%1': %2").arg(path, file.errorString());
    return {};
}

ReportPageFile::Loaded ReportPageFile::load(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {std::nullopt,
                QStringLiteral("Could not open '%1': %2").arg(path, file.errorString())};
    if (file.size() > kLargestFile)
        return refused(QStringLiteral("it is far too large."));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return {std::nullopt,
                QStringLiteral("Could not read '%1': %2").arg(path, file.errorString())};
    return decode(bytes);
}
