// Data files: opening another table of readings, saving the table as text or as a new table, and
// the printed report through its preview.
#include "TFCOMM.h"

#include "DataFileExport.h"
#include "ReadingsTable.h"
#include "ReadingsTableModel.h"
#include "ReportLayout.h"
#include "ReportPreview.h"
#include "StatusPlace.h"
#include "TableError.h"
#include "UserMessages.h"
#include "WindowReportDialogs.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenu>
#include <QTableView>
#include <QToolButton>

#include <new>

namespace {

const QString kReadOnlyCause = QStringLiteral("ReadOnly");
const QString kNoTableCause = QStringLiteral("NotOpen");

// Widest a column of another program's table starts, so that a long text field leaves room for
// the others.
constexpr int kWidestForeignColumn = 150;

// Opens the table at path; the reason it could not be opened, or empty.
QString openTable(ReadingsTable& table, const QString& path) {
    try {
        table.setTableName(path);
        table.open();
        return {};
    } catch (const TableError& e) {
        table.close();
        return e.message();
    } catch (const std::bad_alloc&) {
        table.close();
        return QStringLiteral("Could not open the table '%1': not enough memory.").arg(path);
    }
}

} // namespace

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
    // The path is opened as chosen: where case matters, another spelling is another file.
    const QString previous = TOrlanBDB->isOpen() ? TOrlanBDB->filePath() : QString();
    TOrlanBDB->close();
    QString failure = openTable(*TOrlanBDB, *chosen);
    if (!failure.isEmpty() && !previous.isEmpty()) {
        // Recording goes on into the table that was open before.
        const QString again = openTable(*TOrlanBDB, previous);
        failure += again.isEmpty() ? QStringLiteral("\nThe table '%1' stays open.").arg(previous)
                                   : QLatin1Char('\n') + again;
    }
    showTableInGrid();
    sayTableState();
    if (!failure.isEmpty())
        m_messages->error(failure);
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

void TFCOMM::sayTableState() {
    if (!TOrlanBDB->isOpen()) {
        m_statusPlace->clear(kReadOnlyCause);
        m_statusPlace->set(kNoTableCause,
                           QStringLiteral("No table of readings is open: nothing is recorded."));
        return;
    }
    m_statusPlace->clear(kNoTableCause);
    const QString reason = TOrlanBDB->readOnlyReason();
    if (reason.isEmpty())
        m_statusPlace->clear(kReadOnlyCause);
    else
        m_statusPlace->set(kReadOnlyCause, reason);
}

void TFCOMM::showTableInGrid() {
    QHeaderView* header = DBGrid1->horizontalHeader();
    const bool wasReadings = Data1->showsReadingsColumns();
    if (wasReadings) {
        // The designed widths and the display-font columns come back with a table of readings.
        m_readingsColumnWidths.clear();
        m_readingsDelegates.clear();
        for (int c = 0; c < ReadingsTableModel::kColumns; ++c) {
            m_readingsColumnWidths.push_back(header->sectionSize(c));
            m_readingsDelegates.push_back(DBGrid1->itemDelegateForColumn(c));
        }
    }
    Data1->reload();
    if (Data1->showsReadingsColumns()) {
        for (int c = 0; c < ReadingsTableModel::kColumns && !wasReadings; ++c) {
            DBGrid1->setColumnWidth(c, m_readingsColumnWidths.at(static_cast<std::size_t>(c)));
            DBGrid1->setItemDelegateForColumn(c,
                                              m_readingsDelegates.at(static_cast<std::size_t>(c)));
        }
    } else {
        for (int c = 0; c < ReadingsTableModel::kColumns; ++c)
            DBGrid1->setItemDelegateForColumn(c, nullptr);
        DBGrid1->resizeColumnsToContents();
        for (int c = 0; c < Data1->columnCount(); ++c)
            DBGrid1->setColumnWidth(c, std::min(DBGrid1->columnWidth(c), kWidestForeignColumn));
    }
    if (Data1->rowCount() > 0)
        DBGrid1->selectRow(Data1->rowCount() - 1);
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

void TFCOMM::BtPrintClick() {
    if (m_longWorkRunning || !TOrlanBDB->isOpen() || TOrlanBDB->recordCount() == 0)
        return;
    std::optional<ReportDocument> document;
    try {
        LongWorkGuard guard(*this);
        const ProgressCallback progress =
            isLongWork(TOrlanBDB->recordCount())
                ? m_messages->startProgress(QStringLiteral("Preparing the report..."))
                : ProgressCallback();
        document = ReportLayout::build(TableSnapshot::of(*TOrlanBDB), progress);
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
