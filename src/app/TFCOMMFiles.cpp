// Data files: choosing another table of readings to open, saving the table as text or as a new
// table, and the printed report through its preview.
#include "TFCOMM.h"

#include "RecordingRow.h"

#include "DataFileExport.h"
#include "ReadingsTable.h"
#include "ReadingsTableModel.h"
#include "ReportLayout.h"
#include "ReportPreview.h"
#include "TableError.h"
#include "UserMessages.h"
#include "WindowReportDialogs.h"

#include "ReadingsGrid.h"
#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
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
        m_window.m_recordingRow->setCommandsEnabled(!running);
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
    if (!m_session.table().isOpen() || m_session.table().pendingCount() == 0)
        return true;
    const QString question =
        QStringLiteral("%1 recorded readings are not saved yet. Save them to '%2' before "
                       "opening '%3'?")
            .arg(m_session.table().pendingCount())
            .arg(QFileInfo(m_session.table().filePath()).fileName(), QFileInfo(chosen).fileName());
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
    if (!m_session.table().isOpen()) {
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
            isLongWork(m_session.table().recordCount())
                ? m_messages->startProgress(QStringLiteral("Saving %1...").arg(*chosen))
                : ProgressCallback();
        result = DataFileExport::save(m_session.table(), *chosen, progress);
    }
    // The grid shows the last row selected, as after a walk through the table.
    DBGrid1->selectLastRow();
    if (result.message.isEmpty())
        return;
    if (result.status == ExportResult::Status::Failed)
        m_messages->error(result.message);
    else
        m_messages->information(result.message);
}

void TFCOMM::BtPrintClick() {
    if (m_longWorkRunning || !m_session.table().isOpen() || m_session.table().recordCount() == 0)
        return;
    std::optional<ReportDocument> document;
    try {
        LongWorkGuard guard(*this);
        const ProgressCallback progress =
            isLongWork(m_session.table().recordCount())
                ? m_messages->startProgress(QStringLiteral("Preparing the report..."))
                : ProgressCallback();
        document = ReportLayout::build(TableSnapshot::of(m_session.table()), progress);
    } catch (const TableError& e) {
        m_messages->error(e.message());
        return;
    } catch (const std::bad_alloc&) {
        m_messages->error(QStringLiteral("Not enough memory to prepare the report."));
        return;
    }
    if (!document || document->pages.empty())
        return;
    WindowReportDialogs dialogs(*m_messages);
    ReportPreview preview(dialogs, this);
    preview.setDocument(std::move(*document));
    m_messages->showReportPreview(&preview);
}

QString TFCOMM::openDataFilesFilter() {
    // Both spellings: on a case-sensitive file system "*.DB" alone hides tables named "*.db".
    return QStringLiteral("access data files (*.DB *.db);;All files (*)");
}

QString TFCOMM::saveDataFilesFilter() {
    return QStringLiteral("Excel File(*.xls);;DB File(*.db *.DB);;Txt File(*.txt);;All File(*)");
}
