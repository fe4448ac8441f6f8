#pragma once

#include "LongWork.h"
#include "ReportDocument.h"
#include "ReportZoom.h"

#include <QDialog>

#include <memory>

class QAction;
class QLabel;
class QPrinter;
class QScrollArea;
class ReportPageView;
class UserMessages;

// The report's preview window: turns through the prepared pages, zooms, sets up the printer and
// prints, saves the pages as PDF or as a page file and loads a page file. Printing happens only
// from here. Its boxes and dialogs come through the window's UserMessages, so it can be driven
// without modal boxes.
class ReportPreview : public QDialog {
    Q_OBJECT
public:
    // messages must outlive the preview.
    ReportPreview(UserMessages& messages, QWidget* parent = nullptr);
    ~ReportPreview() override;

    // Pages laid out already, such as those of a page file.
    void setDocument(ReportDocument document);
    // Pages laid out when they are shown, printed or saved: the preview holds one at a time.
    void setPages(std::unique_ptr<const ReportPages> pages);
    // The pages given to setDocument; none for pages laid out when needed.
    [[nodiscard]] const ReportDocument& document() const { return m_document; }

    [[nodiscard]] int pageCount() const { return static_cast<int>(m_pages->pageCount()); }
    // From 0; 0 when there are no pages.
    [[nodiscard]] int currentPage() const { return m_page; }
    [[nodiscard]] ReportZoom::Mode zoomMode() const { return m_zoom; }
    [[nodiscard]] double pixelsPerMm() const;
    [[nodiscard]] QString pageCaption() const;
    [[nodiscard]] QPrinter& printer() { return *m_printer; }

    // The actions of the tool bar, by the name of their command.
    [[nodiscard]] QAction* action(const QString& name) const;

    static constexpr const char* kPdfFilter = "PDF file (*.pdf)";
    static constexpr const char* kPageFileFilter = "Report pages (*.vrp)";

public slots:
    void zoomToFit();
    void zoomTo100();
    void zoomToWidth();
    void firstPage();
    void previousPage();
    void nextPage();
    void lastPage();
    void printerSetup();
    void print();
    void save();
    void load();

protected:
    // The zoom follows the size of the scroll area's viewport, which is known only once the
    // scroll area has laid out its children.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildToolBar();
    void showPage(int page);
    void setZoom(ReportZoom::Mode mode);
    void applyZoom();
    void updateActions();
    [[nodiscard]] ProgressCallback progressFor(const QString& label);

    UserMessages& m_messages;
    ReportDocument m_document;
    std::unique_ptr<const ReportPages> m_pages;
    ReportPage m_shown; // the page on screen, laid out
    std::unique_ptr<QPrinter> m_printer;
    int m_page = 0;
    ReportZoom::Mode m_zoom = ReportZoom::Mode::Fit;
    QScrollArea* m_scroll = nullptr;
    ReportPageView* m_view = nullptr;
    QLabel* m_caption = nullptr;
};
