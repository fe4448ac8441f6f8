#include "ReportRenderer.h"

#include "ExportTarget.h"
#include "FileError.h"

#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QSaveFile>

namespace {

constexpr int kPdfResolution = 1200;

QPageLayout pageLayoutFor(const ReportPages& pages) {
    const QPageSize size(pages.pageSize(), QPageSize::Millimeter, QString(),
                         QPageSize::FuzzyOrientationMatch);
    return QPageLayout(size, QPageLayout::Portrait, QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
}

// Draws every page on a painter that is already active on its device; a new page is started
// between pages through nextPage. Each page is laid out just before it is drawn and dropped after.
template <typename NextPage>
ReportRenderer::Result paintAll(QPainter& painter, const ReportPages& pages, double pixelsPerMm,
                                NextPage nextPage, const ProgressCallback& progress) {
    const qsizetype total = pages.pageCount();
    for (qsizetype i = 0; i < total; ++i) {
        if (progress && !progress(i, total))
            return {ReportRenderer::Status::Cancelled, {}};
        if (i > 0 && !nextPage())
            return {ReportRenderer::Status::Failed, QStringLiteral("Could not start a new page.")};
        ReportRenderer::paintPage(painter, pages.page(i), pixelsPerMm);
    }
    if (progress && !progress(total, total))
        return {ReportRenderer::Status::Cancelled, {}};
    return {ReportRenderer::Status::Done, {}};
}

ReportRenderer::Result writePdf(const ReportPages& pages, QIODevice& device,
                                const ProgressCallback& progress) {
    QPdfWriter writer(&device);
    writer.setResolution(kPdfResolution);
    writer.setPageLayout(pageLayoutFor(pages));
    writer.setCreator(QStringLiteral("VelmarD Interface Program"));
    writer.setTitle(QStringLiteral("The Data Print Title"));
    QPainter painter;
    if (!painter.begin(&writer))
        return {ReportRenderer::Status::Failed, QStringLiteral("Could not start the PDF file.")};
    auto result = paintAll(
        painter, pages, kPdfResolution / 25.4, [&writer] { return writer.newPage(); }, progress);
    painter.end();
    return result;
}

} // namespace

QFont ReportRenderer::reportFont() {
    QFont font;
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    font.setPointSizeF(10.0);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

void ReportRenderer::paintPage(QPainter& painter, const ReportPage& page, double pixelsPerMm) {
    const QFont font(reportFont(), painter.device());
    painter.setFont(font);
    painter.setPen(Qt::black);
    const QFontMetricsF metrics(font, painter.device());
    for (const PlacedText& text : page.texts) {
        double left = text.x * pixelsPerMm;
        if (text.anchor == PlacedText::Anchor::Centre)
            left -= metrics.horizontalAdvance(text.text) / 2;
        painter.drawText(QPointF(left, text.y * pixelsPerMm + metrics.ascent()), text.text);
    }
}

ReportRenderer::Result ReportRenderer::savePdf(const ReportDocument& document, const QString& path,
                                               const ProgressCallback& progress) {
    return savePdf(DocumentPages(document), path, progress);
}

ReportRenderer::Result ReportRenderer::savePdf(const ReportPages& pages, const QString& path,
                                               const ProgressCallback& progress) {
    QString target; // where the rule for links lets the file be written
    try {
        target = ExportTarget::check(path, {}).filePath();
    } catch (const FileError& error) {
        return {Status::Failed, QString::fromStdString(error.what())};
    }
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly)) {
        return {Status::Failed,
                QStringLiteral("Could not write '%1': %2").arg(path, file.errorString())};
    }
    Result result = writePdf(pages, file, progress);
    if (result.status != Status::Done) {
        file.cancelWriting();
        return result;
    }
    if (!file.commit()) {
        return {Status::Failed,
                QStringLiteral("Could not write '%1': %2").arg(path, file.errorString())};
    }
    return result;
}

ReportRenderer::Result ReportRenderer::print(const ReportPages& pages, QPrinter& printer,
                                             const ProgressCallback& progress) {
    printer.setFullPage(true);
    printer.setPageLayout(pageLayoutFor(pages));
    QPainter painter;
    if (!painter.begin(&printer))
        return {Status::Failed, QStringLiteral("The printer could not be started.")};
    Result result = paintAll(
        painter, pages, printer.resolution() / 25.4, [&printer] { return printer.newPage(); },
        progress);
    if (result.status == Status::Cancelled)
        printer.abort();
    painter.end();
    return result;
}
