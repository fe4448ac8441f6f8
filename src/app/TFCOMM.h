#pragma once

#include "ChartPaging.h"
#include "DialGeometry.h"
#include "FrameResult.h"
#include "LinkNotices.h"
#include "MeterSession.h"
#include "PublishConfig.h"
#include "RecordingNotices.h"

#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class BarGraphView;
class BevelPanel;
class ChartComponent;
class ChartPanel;
class DialPanel;
class LimitsPanel;
class MainMenu;
class ReadingsGrid;
class RecordingRow;
class SessionPublisher;
class TopRow;
class StatusPlace;
class QCheckBox;
class QLabel;
class QLineEdit;

class QTimer;
class LcdPanel;
class QKeyEvent;
class ReadingsTableModel;
class UserMessages;
struct BarGraph;
struct ExportResult;

// The program's one window: a host that places the panels of view/ (LCD mirror, dial, chart area,
// limits), owns the timers, and binds every control, menu entry and timer to its handler. One
// meter's pipeline, from the port to the stored row, is the MeterSession it hosts: the handlers
// keep the names of their controls and events and delegate to the session or a panel, and the
// window applies each result the session hands out. Controls carry their layout names as
// objectName. Its handlers are spread over one source file per subsystem.
class TFCOMM : public QMainWindow {
    Q_OBJECT
public:
    // `messages` replaces the message boxes (tests); null means the real dialogs. `setup` is the
    // session's: the serial line COMM2 talks through (a capturing one for --capture), the
    // clocks, and how ports find their devices.
    explicit TFCOMM(std::shared_ptr<UserMessages> messages = nullptr, QWidget* parent = nullptr,
                    MeterSession::Setup setup = MeterSession::Setup::forProcess());
    ~TFCOMM() override;

    // --- Start-up, layout and exit (app/TFCOMM.cpp) ---
    void FormCreate();
    void FormResize();
    void BtExit1Click();
    // The outer size the layout rules work with: the client area plus the designed frame allowance.
    [[nodiscard]] QSize outerSize() const;

    // --- Meter link (app/TFCOMMLink.cpp) ---
    void Timer1Timer();
    void ConTimerTimer();
    void BTCon1Click();
    void BtDiscon1Click();
    void COM11Click();
    void COM21Click();
    void COM31Click();
    void COM41Click();
    // Monotonic milliseconds: arrival times, stale lines and gaps are measured on it. Tests set a
    // clock of their own.
    void setLinkClock(MeterSession::Clock clock);
    // One look for a device that went away while connected; reconnects when its path is back.
    void LinkWatchTimer();
    // Once a minute while the link is in use: the health summary into the trace.
    void HealthTimerTimer();

    // --- Key commands (app/TFCOMMKeys.cpp) ---
    void BtSetMouseDown(BevelPanel* sender);
    void BtSetMouseUp(BevelPanel* sender);
    void TdownBTimer();

    // --- A frame's result shown in the order the session decided it (app/TFCOMMDecode.cpp) ---
    void LcdDisplayVelmarCD(const FrameResult& result);
    void LcdDisplayVelmarCDMlt(const BarGraph& bar);
    void KDsetup(int mode);
    void KDrun(int position);
    void addChartPoint(int value);
    void showLastChartPage();

    // --- Chart (app/TFCOMMChart.cpp) and limits (app/TFCOMMLimits.cpp) ---
    void BtFillClick();
    void MaxrecordExit();
    void SetmaxExit();
    void SetMinExit();
    void BtFirstClick();
    void BTPreviousClick();
    void BtNextClick();
    void BTlastClick();
    void BtNewClick();
    void BtSaveClick();
    void FillClick();
    void TbFdClick();
    void ShowSeries(int index);
    // True when the key is swallowed: digits, the two signs and backspace reach the limit edits.
    [[nodiscard]] bool SetmaxKeyPress(const QKeyEvent& key);
    [[nodiscard]] const ChartPaging& chartPaging() const { return m_paging; }

    // --- Recording (app/TFCOMMRecord.cpp) ---
    void TrecordTimer();
    void RecordSITimeChange(const QString& text);
    // True when the key is swallowed: only digits and backspace reach the edit.
    [[nodiscard]] bool RecordSITimeKeyPress(const QKeyEvent& key);
    void RecordNewClick();
    void RecordSaveClick();
    void N10001Click();
    void N50001Click();
    void N100001Click();
    void N500001Click();
    void N1000001Click();
    void limitessClick();
    // Switches the table of readings to the file at `path` and says what it has to say: the
    // pending readings of the table open now are dropped (ask before), the new table's notices
    // go to the status place, readings a crash left beside it are offered once, and recording
    // resumes unless the new table cannot take readings. False, with the failure shown, when the
    // file cannot be opened; the table open before is opened again then, so that recording goes
    // on into it.
    bool openTableWithNotices(const QString& path);

    // --- Data files and print (app/TFCOMMFiles.cpp) ---
    void OpenDataFilesClick();
    void saveasClick();
    void BtPrintClick();
    // True while an export or a report covers the table: Record/New, Open, Save as, Print and
    // closing the window wait for it.
    [[nodiscard]] bool isRunningLongWork() const { return m_longWorkRunning; }
    // The file dialogs' filters in the dialog's notation.
    [[nodiscard]] static QString openDataFilesFilter();
    [[nodiscard]] static QString saveDataFilesFilter();

    // --- Publishing to a broker (app/TFCOMMPublish.cpp) ---
    // Publishes what the session stores from now on, through a SessionPublisher that follows the
    // table open (closed and started again when another opens).
    void setPublishing(const PublishConfig& config);
    // The publisher while one is started, for tests.
    [[nodiscard]] SessionPublisher* publisher() const { return m_publisher.get(); }

    // The meter's pipeline, the place lasting conditions are said, and the boxes.
    [[nodiscard]] MeterSession& session() { return m_session; }
    [[nodiscard]] const MeterSession& session() const { return m_session; }
    [[nodiscard]] StatusPlace* statusPlace() const { return m_statusPlace; }
    [[nodiscard]] UserMessages& messages() const { return *m_messages; }

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildTopRow(QWidget* client);
    void buildLcdColumn(QWidget* client);
    void buildDialPanel(QWidget* client);
    void buildChart(QWidget* client);
    void buildLimitsPanel(QWidget* client);
    void buildRecordingRow(QWidget* client);
    void buildGrid(QWidget* client);
    void buildMenu();
    void buildTimers();
    void bindSession();
    void choosePort(int port);
    void applyModelRows();
    void openReadingsTable();
    [[nodiscard]] bool closeReadingsTable();
    void drawDialAtStart();
    [[nodiscard]] bool saveReadings();
    void chooseRecordLimit(int item, qint32 limit);
    void resetChartSeries();
    // The chart shows paging's page; the page buttons, Bt10 and FollowLastPage follow it.
    void showChartPage();
    // The limits the alarm and the dial's band use: the panel's check boxes and the values.
    void applyLimits();
    void redrawDialForNewSize();
    // Runs one start-up step; a failure is reported and start-up carries on with the next step.
    template <typename Step> void startupStep(Step&& step);
    // The table's side: readings a crash left, the grid, and what the table says.
    void offerFoundReadings();
    void showTableInGrid();
    void showStoredRow();

    // Line faults and link health (app/TFCOMMLinkHealth.cpp).
    void showLinkHint();
    [[nodiscard]] QString linkHealthText() const;

    // Writes the pending readings; `asked` when the user asked for the save.
    [[nodiscard]] bool writePending(bool asked);
    // As writePending, the writes and syncs waiting off this thread; then gets whether the save
    // succeeded, once it is over.
    void writePendingInBackground(bool asked, std::function<void(bool)> then);
    // What the window says after a save; whether it succeeded.
    bool pendingWritten(const std::optional<TableProblem>& problem, bool asked, bool waitedForRoom);
    // A save or an export finished writing: an exit asked for meanwhile goes ahead.
    bool m_closeWhenWritten = false;

    // Publishing (app/TFCOMMPublish.cpp): started on the table open, whose path is kept.
    void followTableWithPublisher();
    // Closes the publisher with its wait, off the event loop's way; then() when it has ended.
    void closePublisher(const std::function<void()>& then);
    void sayBrokerLine(const QString& line);
    std::optional<PublishConfig> m_publishConfig;
    std::unique_ptr<SessionPublisher> m_publisher;
    QString m_publishedTable;

    std::shared_ptr<UserMessages> m_messages;
    MeterSession m_session;
    bool m_foundReadingsOffered = false; // at the first show
    StatusPlace* m_statusPlace = nullptr;
    // What lasts on the line, and at the table and recording, said on m_statusPlace.
    LinkNotices m_linkNotices{nullptr};
    RecordingNotices m_recordingNotices{nullptr};

    // Data files (app/TFCOMMFiles.cpp).
    [[nodiscard]] auto longWork();
    // Asks whether pending readings are saved before another table opens; false: stay as is.
    [[nodiscard]] bool settlePendingBefore(const QString& chosen);
    bool m_longWorkRunning = false;
    void showExportResult(const ExportResult& result);

    // The panels and the controls the handlers use, by their layout names.
    TopRow* m_topRow = nullptr;
    RecordingRow* m_recordingRow = nullptr;
    LcdPanel* Panel1 = nullptr;
    QLabel* MltSN = nullptr;
    BarGraphView* PBar2 = nullptr;
    DialPanel* dial = nullptr;
    QLabel* CONok = nullptr;
    QLabel* CONokN = nullptr;
    ChartPanel* chart = nullptr;
    ChartComponent* chartComponent = nullptr;
    QCheckBox* BtFill = nullptr;
    QLineEdit* Maxrecord = nullptr;
    LimitsPanel* limits = nullptr;
    QLineEdit* Setmax = nullptr;
    QLineEdit* SetMin = nullptr;
    ReadingsGrid* DBGrid1 = nullptr;
    ReadingsTableModel* Data1 = nullptr;
    MainMenu* m_menu = nullptr;
    QTimer* Timer1 = nullptr;
    QTimer* ConTimer = nullptr;
    QTimer* Trecord = nullptr;
    QTimer* TdownB = nullptr;
    QTimer* HealthTimer = nullptr;

    // The state the window's handlers share beyond the session's.
    DialScaleState m_dialScale; // WideScale, DialScale, DialOffset, as the latest frame set them
    bool m_fiveDigit = false;   // the dial's limit band follows the digit mode
    int m_needlePosition = 0;   // so that a resized dial is drawn afresh with it
    ChartPaging m_paging;
};
