// Data files: choosing another table of readings to open, saving the table as text or as a new
// table, and the printed report through its preview.
#include "TFCOMM.h"

#include "DataFileExport.h"
#include "MainMenu.h"
#include "ReadingsGrid.h"
#include "ReadingsTable.h"
#include "ReadingsTableModel.h"
#include "RecordingRow.h"
#include "ReportLayout.h"
#include "ReportPreview.h"
#include "TableError.h"
#include "UserMessages.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>

#include <memory>
#include <new>
#include <variant>

// Keeps the window's other table commands from running while long work covers the table, and
// lets them run again however the work ends.
auto TFCOMM::longWork() {
    const auto set = [this](bool running) {
        m_longWorkRunning = running;
        m_recordingRow->setCommandsEnabled(!running);
        m_menu->entry(QStringLiteral("RecordNew1"))->setEnabled(!running);
    };
    set(true);
    return qScopeGuard([set] { set(false); });
}

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
    if (!m_session.readings().isOpen() || m_session.readings().pendingCount() == 0)
        return true;
    const QString question =
        QStringLiteral("%1 recorded readings are not saved yet. Save them to '%2' before "
                       "opening '%3'?")
            .arg(m_session.readings().pendingCount())
            .arg(QFileInfo(m_session.readings().filePath()).fileName(),
                 QFileInfo(chosen).fileName());
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
    if (!m_session.readings().isOpen()) {
        m_messages->error(QStringLiteral("No table of readings is open."));
        return;
    }
    const std::optional<QString> chosen =
        m_messages->chooseFileToSave({QStringLiteral("Save data files"), QDir::currentPath(),
                                      saveDataFilesFilter(), QStringLiteral("xls"), true});
    if (!chosen)
        return;
    // The other table commands wait until the file is written, as they wait for it to be built.
    auto guard = std::make_shared<decltype(longWork())>(longWork());
    std::variant<ExportResult, PreparedExport> prepared;
    {
        const ProgressCallback progress =
            isLongWork(m_session.readings().recordCount())
                ? m_messages->startProgress(QStringLiteral("Saving %1...").arg(*chosen))
                : ProgressCallback();
        prepared = DataFileExport::prepare(m_session.readings(), *chosen, progress);
    }
    if (const ExportResult* result = std::get_if<ExportResult>(&prepared)) {
        guard.reset();
        showExportResult(*result);
        return;
    }
    // The file waits on the disk off this thread: the meter is asked on meanwhile.
    m_session.writeExport(std::move(std::get<PreparedExport>(prepared)),
                          [this, guard](const ExportResult& result) mutable {
                              guard.reset();
                              showExportResult(result);
                          });
}

void TFCOMM::showExportResult(const ExportResult& result) {
    // The grid shows the last row selected, as after a walk through the table.
    DBGrid1->selectLastRow();
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
    if (m_longWorkRunning || !m_session.readings().isOpen() ||
        m_session.readings().recordCount() == 0)
        return;
    const auto guard = longWork();
    std::unique_ptr<ReportPages> pages;
    try {
        pages = ReportLayout::pages(TableSnapshot::of(m_session.readings()));
    } catch (const TableError& e) {
        m_messages->error(e.message());
        return;
    }
    ReportPreview preview(*m_messages, this);
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
