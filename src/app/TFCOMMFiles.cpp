// Data files: choosing another table of readings to open, saving the table as text or as a new
// table, and the printed report through its preview.
#include "TFCOMM.h"

#include "DataFileExport.h"
#include "ReadingsTable.h"
#include "ReadingsTableModel.h"
#include "ReportLayout.h"
#include "ReportPreview.h"
#include "TableError.h"
#include "UserMessages.h"
#include "WindowReportDialogs.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QTableView>
#include <QToolButton>

#include <new>

// Keeps the window's other table commands from running while long work covers the table, and
// lets them run again however the work ends.
class TFCOMM::LongWorkGuard {
public:
    explicit LongWorkGuard(TFCOMM& window) : m_window(window) { set(true); }
    ~LongWorkGuard() { set(false); }
    LongWorkGuard(const LongWorkGuard&) = delete;
    LongWorkGuard& operator=(const LongWorkGuard&) = delete;

private:
    void set(bool running) {
        m_window.m_longWorkRunning = running;
        for (QWidget* button :
             {static_cast<QWidget*>(m_window.RecordNew),
              static_cast<QWidget*>(m_window.OpenDataFiles), static_cast<QWidget*>(m_window.saveas),
              static_cast<QWidget*>(m_window.SpeedButton2)}) {
            if (button)
                button->setEnabled(!running);
        }
        if (QAction* recordNew = m_window.findChild<QAction*>(QStringLiteral("RecordNew1")))
            recordNew->setEnabled(!running);
    }

    TFCOMM& m_window;
};

void TFCOMM::OpenDataFilesClick() {
    if (m_longWorkRunning)
        return;
    const std::optional<QString> chosen =
        m_messages->chooseFileToOpen({QStringLiteral("Open old data files"), QDir::currentPath(),
                                      openDataFilesFilter(), QString(), false});
    if (!chosen)
        return;
    if (!settlePendingBefore(*chosen))
        return;
    openTableWithNotices(*chosen);
}

bool TFCOMM::settlePendingBefore(const QString& chosen) {
    if (!TOrlanBDB->isOpen() || TOrlanBDB->pendingCount() == 0)
        return true;
    const QString question =
        QStringLiteral("%1 recorded readings are not saved yet. Save them to '%2' before "
                       "opening '%3'?")
            .arg(TOrlanBDB->pendingCount())
            .arg(QFileInfo(TOrlanBDB->filePath()).fileName(), QFileInfo(chosen).fileName());
    switch (m_messages->askYesNoCancel(question)) {
    case UserMessages::Answer::Yes:
        return saveReadings();
    case UserMessages::Answer::No:
        return true;
    case UserMessages::Answer::Cancel:
        break;
    }
    return false;
}

void TFCOMM::saveasClick() {
    if (m_longWorkRunning)
        return;
    if (!TOrlanBDB->isOpen()) {
        m_messages->error(QStringLiteral("No table of readings is open."));
        return;
    }
    const std::optional<QString> chosen =
        m_messages->chooseFileToSave({QStringLiteral("Save data files"), QDir::currentPath(),
                                      saveDataFilesFilter(), QStringLiteral("xls"), true});
    if (!chosen)
        return;
    ExportResult result;
    {
        LongWorkGuard guard(*this);
        const ProgressCallback progress =
            isLongWork(TOrlanBDB->recordCount())
                ? m_messages->startProgress(QStringLiteral("Saving %1...").arg(*chosen))
                : ProgressCallback();
        result = DataFileExport::save(*TOrlanBDB, *chosen, progress);
    }
    // The grid shows the last row selected, as after a walk through the table.
    if (Data1->rowCount() > 0)
        DBGrid1->selectRow(Data1->rowCount() - 1);
    if (result.message.isEmpty())
        return;
    if (result.status == ExportResult::Status::Failed)
        m_messages->error(result.message);
    else
        m_messages->information(result.message);
}

// The preview lays out each page from the table as it was at Print when the page is needed, so
// the commands that would change or drop the table wait until the preview closes.
void TFCOMM::BtPrintClick() {
    if (m_longWorkRunning || !TOrlanBDB->isOpen() || TOrlanBDB->recordCount() == 0)
        return;
    LongWorkGuard guard(*this);
    std::unique_ptr<ReportPages> pages;
    try {
        pages = ReportLayout::pages(TableSnapshot::of(*TOrlanBDB));
    } catch (const TableError& e) {
        m_messages->error(e.message());
        return;
    }
    WindowReportDialogs dialogs(*m_messages);
    ReportPreview preview(dialogs, this);
    preview.setPages(std::move(pages));
    m_messages->showReportPreview(&preview);
}

QString TFCOMM::openDataFilesFilter() {
    // Both spellings: on a case-sensitive file system "*.DB" alone hides tables named "*.db".
    return QStringLiteral("access data files (*.DB *.db);;All files (*)");
}

QString TFCOMM::saveDataFilesFilter() {
    return QStringLiteral("Excel File(*.xls);;DB File(*.db *.DB);;Txt File(*.txt);;All File(*)");
}
