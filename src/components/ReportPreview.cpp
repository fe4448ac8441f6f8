#include "ReportPreview.h"

#include "ReportLayout.h"
#include "ReportPageFile.h"
#include "ReportPageView.h"
#include "ReportRenderer.h"
#include "UserMessages.h"

#include <QAction>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QPrinter>
#include <QScrollArea>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

// Long work is counted in records; a page holds a page's worth of them.
bool isLongRender(const ReportPages& pages) {
    return isLongWork(pages.pageCount() * ReportLayout::detailLinesPerPage());
}

bool isPageFile(const QString& path) {
    return QFileInfo(path).suffix().compare(QLatin1String(ReportPageFile::kSuffix),
                                            Qt::CaseInsensitive) == 0;
}

UserMessages::FileChoice fileChoice(const QString& caption, const QString& filter) {
    return {caption, QDir::currentPath(), filter, QString(), true};
}

} // namespace

ReportPreview::ReportPreview(UserMessages& messages, QWidget* parent)
    : QDialog(parent), m_messages(messages), m_pages(std::make_unique<DocumentPages>(m_document)),
      m_printer(std::make_unique<QPrinter>(QPrinter::HighResolution)) {
    setWindowTitle(QStringLiteral("Print Preview"));
    m_printer->setCopyCount(1);
    m_printer->setDuplex(QPrinter::DuplexNone);
    m_printer->setPrintRange(QPrinter::AllPages);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    buildToolBar();
    m_scroll = new QScrollArea(this);
    m_scroll->setAlignment(Qt::AlignCenter);
    m_scroll->setBackgroundRole(QPalette::Dark);
    m_view = new ReportPageView(m_scroll);
    m_scroll->setWidget(m_view);
    m_scroll->viewport()->installEventFilter(this);
    layout->addWidget(m_scroll, 1);
    resize(720, 900);
    updateActions();
}

ReportPreview::~ReportPreview() = default;

void ReportPreview::buildToolBar() {
    auto* bar = new QToolBar(this);
    const auto add = [this, bar](const char* name, const QString& text, auto slot) {
        QAction* action = bar->addAction(text);
        action->setObjectName(QLatin1String(name));
        connect(action, &QAction::triggered, this, slot);
    };
    add("zoomFit", QStringLiteral("Fit"), &ReportPreview::zoomToFit);
    add("zoom100", QStringLiteral("100 %"), &ReportPreview::zoomTo100);
    add("zoomWidth", QStringLiteral("Page width"), &ReportPreview::zoomToWidth);
    bar->addSeparator();
    add("firstPage", QStringLiteral("|<"), &ReportPreview::firstPage);
    add("previousPage", QStringLiteral("<"), &ReportPreview::previousPage);
    m_caption = new QLabel(bar);
    m_caption->setContentsMargins(6, 0, 6, 0);
    bar->addWidget(m_caption);
    add("nextPage", QStringLiteral(">"), &ReportPreview::nextPage);
    add("lastPage", QStringLiteral(">|"), &ReportPreview::lastPage);
    bar->addSeparator();
    add("printerSetup", QStringLiteral("Printer setup"), &ReportPreview::printerSetup);
    add("print", QStringLiteral("Print"), &ReportPreview::print);
    add("save", QStringLiteral("Save"), &ReportPreview::save);
    add("load", QStringLiteral("Open"), &ReportPreview::load);
    bar->addSeparator();
    add("close", QStringLiteral("Close"), &ReportPreview::accept);
    layout()->addWidget(bar);
}

QAction* ReportPreview::action(const QString& name) const {
    return findChild<QAction*>(name);
}

void ReportPreview::setDocument(ReportDocument document) {
    m_document = std::move(document);
    m_pages = std::make_unique<DocumentPages>(m_document);
    showPage(0);
    applyZoom();
}

void ReportPreview::setPages(std::unique_ptr<const ReportPages> pages) {
    m_pages = std::move(pages);
    m_document = ReportDocument();
    showPage(0);
    applyZoom();
}

double ReportPreview::pixelsPerMm() const {
    return m_view->pixelsPerMm();
}

QString ReportPreview::pageCaption() const {
    return QStringLiteral("Page %1 of %2").arg(pageCount() == 0 ? 0 : m_page + 1).arg(pageCount());
}

void ReportPreview::showPage(int page) {
    m_page = std::clamp(page, 0, std::max(pageCount() - 1, 0));
    m_shown = pageCount() == 0 ? ReportPage() : m_pages->page(m_page);
    m_view->setPage(pageCount() == 0 ? nullptr : &m_shown, m_pages->pageSize());
    updateActions();
}

void ReportPreview::updateActions() {
    m_caption->setText(pageCaption());
    const bool hasPages = pageCount() > 0;
    action(QStringLiteral("firstPage"))->setEnabled(m_page > 0);
    action(QStringLiteral("previousPage"))->setEnabled(m_page > 0);
    action(QStringLiteral("nextPage"))->setEnabled(m_page + 1 < pageCount());
    action(QStringLiteral("lastPage"))->setEnabled(m_page + 1 < pageCount());
    action(QStringLiteral("print"))->setEnabled(hasPages);
    action(QStringLiteral("save"))->setEnabled(hasPages);
}

void ReportPreview::zoomToFit() {
    setZoom(ReportZoom::Mode::Fit);
}

void ReportPreview::zoomTo100() {
    setZoom(ReportZoom::Mode::Actual);
}

void ReportPreview::zoomToWidth() {
    setZoom(ReportZoom::Mode::Width);
}

void ReportPreview::setZoom(ReportZoom::Mode mode) {
    m_zoom = mode;
    applyZoom();
}

void ReportPreview::applyZoom() {
    m_view->setPixelsPerMm(ReportZoom::pixelsPerMm(m_zoom, m_pages->pageSize(),
                                                   m_scroll->viewport()->size(), logicalDpiY()));
}

bool ReportPreview::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_scroll->viewport() && event->type() == QEvent::Resize)
        applyZoom();
    return QDialog::eventFilter(watched, event);
}

void ReportPreview::firstPage() {
    showPage(0);
}

void ReportPreview::previousPage() {
    showPage(m_page - 1);
}

void ReportPreview::nextPage() {
    showPage(m_page + 1);
}

void ReportPreview::lastPage() {
    showPage(pageCount() - 1);
}

// The choices are kept in the printer, where the print dialog finds them.
void ReportPreview::printerSetup() {
    (void)m_messages.setUpPrinter(*m_printer);
}

ProgressCallback ReportPreview::progressFor(const QString& label) {
    return isLongRender(*m_pages) ? m_messages.startProgress(label) : ProgressCallback();
}

void ReportPreview::print() {
    if (pageCount() == 0)
        return;
    // Printing always asks first, in the print dialog with the set-up's choices.
    if (!m_messages.askToPrint(*m_printer))
        return;
    const auto result =
        ReportRenderer::print(*m_pages, *m_printer, progressFor(QStringLiteral("Printing...")));
    if (result.status == ReportRenderer::Status::Failed)
        m_messages.information(result.error);
}

void ReportPreview::save() {
    if (pageCount() == 0)
        return;
    const QString filter =
        QLatin1String(kPdfFilter) + QStringLiteral(";;") + QLatin1String(kPageFileFilter);
    QString path = m_messages.chooseFileToSave(fileChoice(QStringLiteral("Save report"), filter))
                       .value_or(QString());
    if (path.isEmpty())
        return;
    if (isPageFile(path)) {
        const QString error = ReportPageFile::save(*m_pages, path);
        if (!error.isEmpty())
            m_messages.information(error);
        return;
    }
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".pdf");
    const auto result =
        ReportRenderer::savePdf(*m_pages, path, progressFor(QStringLiteral("Saving...")));
    if (result.status == ReportRenderer::Status::Failed)
        m_messages.information(result.error);
}

void ReportPreview::load() {
    const QString path = m_messages
                             .chooseFileToOpen(fileChoice(QStringLiteral("Open report"),
                                                          QLatin1String(kPageFileFilter)))
                             .value_or(QString());
    if (path.isEmpty())
        return;
    ReportPageFile::Loaded loaded = ReportPageFile::load(path);
    if (!loaded.document) {
        m_messages.information(loaded.error);
        return;
    }
    setDocument(std::move(*loaded.document));
}
