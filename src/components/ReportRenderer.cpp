#include "ReportRenderer.h"

#include "ExportTarget.h"
#include "TableError.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QSaveFile>

namespace {

constexpr int kPdfResolution = 1200;

QPageLayout pageLayoutFor(const ReportDocument& document) {
    const QPageSize size(document.pageSize, QPageSize::Millimeter, QString(),
                         QPageSize::FuzzyOrientationMatch);
    return QPageLayout(size, QPageLayout::Portrait, QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
}

// Draws every page on a painter that is already active on its device; a new page is started
// between pages through nextPage.
template <typename NextPage>
ReportRenderer::Result paintAll(QPainter& painter, const ReportDocument& document,
                                double pixelsPerMm, NextPage nextPage,
                                const ProgressCallback& progress) {
    const auto total = static_cast<qsizetype>(document.pages.size());
    for (qsizetype i = 0; i < total; ++i) {
        if (progress && !progress(i, total))
            return {ReportRenderer::Status::Cancelled, {}};
        if (i > 0 && !nextPage())
            return {ReportRenderer::Status::Failed, QStringLiteral("Could not start a new page.")};
        ReportRenderer::paintPage(painter, document.pages[static_cast<std::size_t>(i)],
                                  pixelsPerMm);
    }
    if (progress && !progress(total, total))
        return {ReportRenderer::Status::Cancelled, {}};
    return {ReportRenderer::Status::Done, {}};
}

ReportRenderer::Result writePdf(const ReportDocument& document, QIODevice& device,
                                const ProgressCallback& progress) {
    QPdfWriter writer(&device);
    writer.setResolution(kPdfResolution);
    writer.setPageLayout(pageLayoutFor(document));
    writer.setCreator(QStringLiteral("VelmarD Interface Program"));
    writer.setTitle(QStringLiteral("The Data Print Title"));
    QPainter painter;
    if (!painter.begin(&writer))
        return {ReportRenderer::Status::Failed, QStringLiteral("Could not start the PDF file.")};
    const auto result = paintAll(
        painter, document, kPdfResolution / 25.4, [&writer] { return writer.newPage(); }, progress);
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
    QString target; // where the rule for links lets the file be written
    try {
        target = ExportTarget::check(path, {}).filePath();
    } catch (const TableError& error) {
        return {Status::Failed, error.message()};
    }
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly)) {
        return {Status::Failed,
                QStringLiteral("Could not write '%1': %2").arg(path, file.errorString())};
    }
    const Result result = writePdf(document, file, progress);
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

ReportRenderer::Result ReportRenderer::print(const ReportDocument& document, QPrinter& printer,
                                             const ProgressCallback& progress) {
    printer.setFullPage(true);
    printer.setPageLayout(pageLayoutFor(document));
    QPainter painter;
    if (!painter.begin(&printer))
        return {Status::Failed, QStringLiteral("The printer could not be started.")};
    const Result result = paintAll(
        painter, document, printer.resolution() / 25.4, [&printer] { return printer.newPage(); },
        progress);
    if (result.status == Status::Cancelled)
        printer.abort();
    painter.end();
    return result;
}

QByteArray ReportRenderer::pdfBytes(const ReportDocument& document) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    const Result result = writePdf(document, buffer, {});
    return result.status == Status::Done ? buffer.data() : QByteArray();
}
