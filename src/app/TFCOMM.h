#pragma once

#include "ChartPaging.h"
#include "FrameCutter.h"
#include "KeyCommands.h"
#include "LinkHealth.h"
#include "LinkIndicator.h"
#include "PeakTracking.h"
#include "Reading.h"
#include "Recording.h"
#include "RecordingPause.h"
#include "RequestCycle.h"
#include "RequestWriter.h"
#include "SerialBackend.h"
#include "TraceList.h"
#include "WindowState.h"

#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class BarGraphView;
class BevelPanel;
class ChartComponent;
class ChartPanel;
class DeviceWatcher;
class DialPanel;
class LimitsPanel;
class StatusPlace;
class QAbstractItemDelegate;
class QAction;
class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QTableView;
class QTimer;
class QToolButton;
class QChartView;
class LcdPanel;
class QKeyEvent;
class ReadingsTable;
class ReadingsTableModel;
class SegraLabel;
class TCommPortDriver;
class UserMessages;
struct ModelRow;

// The program's one window: a host that places the panels of view/ (LCD mirror, dial, chart area,
// limits), owns the timers and components, keeps the state its handlers share, and binds every
// control, menu entry and timer to its handler. The handlers keep the names of their controls and
// events and delegate to the pure pieces of link/, decode/ and record/ and to the panels' setters.
// Its handlers are spread over one source file per subsystem.
class TFCOMM : public QMainWindow {
    Q_OBJECT
public:
    // `messages` replaces the message boxes (tests); null means the real dialogs. `line` is the
    // serial backend COMM2 talks through (a capturing one for --capture); null means the
    // platform's own.
    explicit TFCOMM(std::shared_ptr<UserMessages> messages = nullptr, QWidget* parent = nullptr,
                    std::unique_ptr<SerialBackend> line = nullptr);
    ~TFCOMM() override;

    // --- Start-up, layout and exit (app/TFCOMM.cpp) ---
    void FormCreate();
    void FormResize();
    void BtExit1Click();
    // The outer size the layout rules work with: the client area plus the designed frame allowance.
    [[nodiscard]] QSize outerSize() const;

    // --- Meter link (app/TFCOMMLink.cpp) ---
    void WriteTo232(std::uint8_t b);
    void Timer1Timer();
    void VelmarCDRData(TCommPortDriver* sender, const std::uint8_t* data, qint32 size);
    void ConTimerTimer();
    void BTCon1Click();
    void BtDiscon1Click();
    void COM11Click();
    void COM21Click();
    void COM31Click();
    void COM41Click();
    void MarkLinkAlive();

    // --- Line faults and link health (app/TFCOMMLinkHealth.cpp) ---
    // Monotonic milliseconds: arrival times, stale lines and gaps are measured on it. Tests set a
    // clock of their own.
    using LinkClock = std::function<qint64()>;
    void setLinkClock(LinkClock clock);
    // One look for a device that went away while connected; reconnects when its path is back.
    void LinkWatchTimer();
    // Once a minute while the link is in use: the health summary into the trace.
    void HealthTimerTimer();

    // --- Key commands (app/TFCOMMKeys.cpp) ---
    void BtSetMouseDown(BevelPanel* sender);
    void BtSetMouseUp(BevelPanel* sender);
    void TdownBTimer();

    // --- Decoders (app/TFCOMMDecode.cpp) ---
    void LcdDisplayVelmarCD(int unused = 1);
    void LcdDisplayVelmarCDMlt(int unused = 1);
    void LimitAlarmTest();
    void TrackPeaks();

    // --- Dial and chart, called by the decoder in its order ---
    void KDsetup(int mode);
    void KDrun(int position);
    void setChartAxis(int minimum, int maximum);
    void addChartPoint(int value);
    void showLastChartPage();
    void INDataToTable();

    // --- Chart, limits, export and print: bound now, filled with their subsystems ---
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
    // --- Dial (app/TFCOMMDial.cpp), chart (app/TFCOMMChart.cpp), limits (app/TFCOMMLimits.cpp) ---
    void TbFdClick();
    void ShowSeries(int index);
    // True when the key is swallowed: digits, the two signs and backspace reach the limit edits.
    [[nodiscard]] bool SetmaxKeyPress(const QKeyEvent& key);
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
    void OpenDataFilesClick();
    void saveasClick();
    void BtPrintClick();

    // --- Panels, and the layout's controls by their names ---
    // Top row.
    BevelPanel* BtCOM1 = nullptr;
    BevelPanel* BtCOM2 = nullptr;
    BevelPanel* BtCOM3 = nullptr;
    BevelPanel* BtCOM4 = nullptr;
    BevelPanel* BtPeak = nullptr;
    BevelPanel* BtRecord = nullptr;
    BevelPanel* BtRange = nullptr;
    BevelPanel* BtHold = nullptr;
    BevelPanel* BtSel = nullptr;
    BevelPanel* BtRel = nullptr;
    BevelPanel* BtHz = nullptr;
    BevelPanel* BtBuzzer = nullptr;
    BevelPanel* BTCon = nullptr;
    BevelPanel* BtDiscon = nullptr;
    BevelPanel* BtExit = nullptr;
    // The LCD mirror and the bar graph.
    LcdPanel* Panel1 = nullptr;
    QLabel* MltSN = nullptr;
    BarGraphView* PBar2 = nullptr;
    // The dial panel and its children.
    DialPanel* dial = nullptr;
    QFrame* KD = nullptr;
    QLabel* KD1 = nullptr;
    QLabel* KD2 = nullptr;
    QLabel* CONok = nullptr;
    QLabel* CONokN = nullptr;
    QLabel* oltext = nullptr;
    // The chart area and its tool bar.
    ChartPanel* chart = nullptr;
    QFrame* Chtshow = nullptr;
    QChartView* ChartView = nullptr;
    QCheckBox* BtFill = nullptr;
    QLineEdit* Maxrecord = nullptr;
    QToolButton* BtNew = nullptr;
    QToolButton* BtSave = nullptr;
    QToolButton* BtFirst = nullptr;
    QToolButton* BTPrevious = nullptr;
    QToolButton* Bt10 = nullptr;
    QToolButton* BtNext = nullptr;
    QToolButton* BTlast = nullptr;
    QLabel* TbFd = nullptr;
    QLabel* TbSx = nullptr;
    // The limits panel and its children.
    LimitsPanel* limits = nullptr;
    QFrame* Panel3 = nullptr;
    SegraLabel* Label11 = nullptr;
    SegraLabel* Label12 = nullptr;
    QLabel* MinText = nullptr;
    QLabel* MaxText = nullptr;
    SegraLabel* MinTextU = nullptr;
    SegraLabel* MaxTextU = nullptr;
    QLineEdit* Setmax = nullptr;
    QLineEdit* SetMin = nullptr;
    QCheckBox* SetMaxB = nullptr;
    QCheckBox* SetMinB = nullptr;
    // Recording row, grid and the hidden model boxes.
    QCheckBox* RepeatSet = nullptr;
    QCheckBox* RecordSI = nullptr;
    QLineEdit* RecordSITime = nullptr;
    QToolButton* RecordNew = nullptr;
    QToolButton* OpenDataFiles = nullptr;
    QToolButton* saveas = nullptr;
    QToolButton* SpeedButton2 = nullptr;
    QTableView* DBGrid1 = nullptr;
    QCheckBox* IFVelmarC = nullptr;
    QCheckBox* IFVelmarD = nullptr;
    QCheckBox* IFTessik = nullptr;

    // Menu entries.
    QMenu* ComSetup = nullptr;
    QAction* COM11 = nullptr;
    QAction* COM21 = nullptr;
    QAction* COM31 = nullptr;
    QAction* COM41 = nullptr;
    QAction* START1 = nullptr;
    QAction* STOP1 = nullptr;
    QAction* Fill1 = nullptr;
    QAction* N10001 = nullptr;
    QAction* N50001 = nullptr;
    QAction* N100001 = nullptr;
    QAction* N500001 = nullptr;
    QAction* N1000001 = nullptr;
    QAction* limitess = nullptr;

    // Timers.
    QTimer* Timer1 = nullptr;
    QTimer* ConTimer = nullptr;
    QTimer* Trecord = nullptr;
    QTimer* TdownB = nullptr;
    QTimer* HealthTimer = nullptr;

    // Components.
    std::unique_ptr<TCommPortDriver> COMM2;
    std::unique_ptr<ReadingsTable> TOrlanBDB;
    ReadingsTableModel* Data1 = nullptr;

    // --- State the handlers share ---
    Reading reading;
    DialScaleState dialScale; // WideScale, DialScale, DialOffset
    LimitState limitState;    // MaxLimit, MinLimit
    Peaks peaks;              // PeakMax, PeakMin and their texts
    PreviousReading previous; // PrevUnitText, PrevRangeCode
    ChartState chartState;    // FollowLastPage
    RecordingState recording; // NextRecordNo, RecordedCount, RecordLimit, RecordCountdown
    KeyState keys;            // KeyBaseCode, RelPressState

    QString FrameHex;
    QString MltDigits;
    TraceList Memo1;
    RequestCycle requestCycle;   // PollPhase
    LinkIndicator linkIndicator; // LinkIdleTicks
    LinkHealth linkHealth;       // counts since Connect

    // The chart the chart area shows (the same widget as ChartView) and its pages.
    ChartComponent* chartComponent = nullptr;
    ChartPaging paging;
    // The digit mode of the latest reading; the dial's limit band follows it.
    bool FiveDigit = false;
    // Where the needle was last put, so that a resized dial can be drawn afresh with it.
    int needlePosition = 0;

    // Where lasting conditions are said without a modal box.
    [[nodiscard]] StatusPlace* statusPlace() const { return m_statusPlace; }
    [[nodiscard]] UserMessages& messages() const { return *m_messages; }

    // --- Data files and print (app/TFCOMMFiles.cpp) ---
    // True while an export or a report covers the table: Record/New, Open, Save as, Print and
    // closing the window wait for it.
    [[nodiscard]] bool isRunningLongWork() const { return m_longWorkRunning; }
    // The file dialogs' filters in the dialog's notation.
    [[nodiscard]] static QString openDataFilesFilter();
    [[nodiscard]] static QString saveDataFilesFilter();

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
    void buildModelBoxes(QWidget* client);
    void buildMenu();
    void buildTimers();
    void bindKeyPanel(BevelPanel* panel);
    void choosePort(int port);
    void applyModelRows();
    void applyModelCaptions(const ModelRow& row);
    void dispatchFrame(const QString& frameHex);
    // Seams of the subsystems built after the window; each is filled by its own subsystem.
    void openReadingsTable();
    [[nodiscard]] bool closeReadingsTable();
    void drawDialAtStart();
    [[nodiscard]] bool saveReadings();
    void chooseRecordLimit(QAction* item, qint32 limit);
    void resetChartSeries();
    // The chart shows paging's page; the page buttons, Bt10 and FollowLastPage follow it.
    void showChartPage();
    // A limit edit's text, if valid, becomes `limit` and the dial face shows it.
    void setLimitFrom(const QString& text, float& limit);
    void redrawDialForNewSize();
    // Runs one start-up step; a failure is reported and start-up carries on with the next step.
    template <typename Step> void startupStep(Step&& step);
    // The table's side of recording: what it says when it opens and readings a crash left
    // (TFCOMMTables.cpp); notices, and recording paused while the table cannot take readings
    // (TFCOMMRecord.cpp).
    void sayWhatTheTableKnows();
    void offerFoundReadings();
    // The grid follows the open table: its own columns, or the designed ones of readings.
    void showTableInGrid();
    void sayTableNotices();
    void forgetTableNotices();
    void pauseRecording(const TableProblem& problem, RecordingPause::Until until);
    void resumeRecording();
    // The status place says what waits now: recording paused, a save waiting for room.
    void showPause();
    // Writes the pending readings; `asked` when the user asked for the save.
    [[nodiscard]] bool writePending(bool asked);

    std::shared_ptr<UserMessages> m_messages;
    FrameCutter m_frameCutter;
    bool m_foundReadingsOffered = false; // at the first show
    StatusPlace* m_statusPlace = nullptr;

    // Data files (app/TFCOMMFiles.cpp).
    class LongWorkGuard;
    // Asks whether pending readings are saved before another table opens; false: stay as is.
    [[nodiscard]] bool settlePendingBefore(const QString& chosen);
    bool m_longWorkRunning = false;

    // Line faults and link health (app/TFCOMMLinkHealth.cpp).
    void bindLink();
    [[nodiscard]] qint32 tryWriteByte(std::uint8_t byte);
    void startLinkHealth();
    void endLinkHealth();
    void showDeviceGone(const QString& portName, const QString& device);
    void showDeviceBack(const QString& portName, const QString& device);
    void showLinkHealth(qint64 nowMs);
    void showLinkHint(qint64 nowMs);
    [[nodiscard]] QString linkHealthText(qint64 nowMs) const;

    LinkClock m_linkClock;
    RequestWriter m_requestWriter{[this](std::uint8_t byte) { return tryWriteByte(byte); },
                                  &linkHealth};
    DeviceWatcher* m_deviceWatcher = nullptr;
    // Between Connect and Disconnect, also while waiting for a device that went away.
    bool m_linkInUse = false;
    qint64 m_lastFrameMs = 0;

    std::vector<int> m_readingsColumnWidths;
    std::vector<QAbstractItemDelegate*> m_readingsDelegates;
    RecordingPause m_pause;
    QStringList m_tableNoticeCauses; // status place causes the open table has said
};
