#pragma once

#include "AlarmLimits.h"
#include "BarFrameDecoder.h"
#include "DataFileExport.h"
#include "FrameResult.h"
#include "KeyCommands.h"
#include "LinkHealth.h"
#include "LinkIndicator.h"
#include "MeterProfile.h"
#include "PeakTracker.h"
#include "PortNames.h"
#include "Reading.h"
#include "ReadingsTable.h"
#include "Recording.h"
#include "RecordingPause.h"
#include "RequestCycle.h"
#include "RequestWriter.h"
#include "SaveHook.h"
#include "SerialBackend.h"
#include "StoredReading.h"
#include "StreamCutter.h"
#include "TableError.h"
#include "TableFailure.h"
#include "TraceList.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class DeviceWatcher;
class SyncWorker;
class TCommPortDriver;

// Monotonic milliseconds for arrival times, stale lines and silence; the wall clock for the time
// a reading is stored.
using SessionClock = std::function<qint64()>;
using SessionWallClock = std::function<QDateTime()>;

// What a host hands in to a MeterSession, so that nothing the session does depends on hidden
// inputs: the model, the clocks, the environment and the table folder are required, and a host
// that wants the process's own says so with forProcess().
struct MeterSessionSetup {
    MeterSessionSetup(MeterProfile model, SessionClock clock, SessionWallClock wallClock,
                      PortNames::EnvironmentLookup environment, QString tableFolder);
    // The steady clock, the local date and time, the process environment and the current folder.
    [[nodiscard]] static MeterSessionSetup
    forProcess(const MeterProfile& model = MeterProfile::standard());

    // The meter: its line, requests, frames, keys and how the window presents it.
    MeterProfile model;
    std::unique_ptr<SerialBackend> line; // null: the platform's own
    SessionClock clock;
    SessionWallClock wallClock;
    // Finds the device of COM1 to COM4 (VELMAR_COM<n>).
    PortNames::EnvironmentLookup environment;
    // Where relative table names lie.
    QString tableFolder;
    // Called between the writes and syncs of the table's saves and of its journal; the crash
    // tests stop the process there.
    SaveHook saveHook;
    // How often the host reads the line, unless the model needs its own poll; an unfinished line
    // is stale after two reads.
    quint16 receivePollMs = 50;
};

// One meter's whole pipeline, without a window: the port with its request cycle and writer, the
// frame cutter, link health and the device watcher, the decoders, peaks and the alarm decision,
// the recording decision, and the table of readings with its journal and pause. Bytes and ticks
// go in; each main-display frame comes out as one FrameResult, and the link's state, stored
// readings and notices come out as signals, each lasting condition said once. The host owns the
// timers and the words: the window shows the results, the logger prints them.
class MeterSession : public QObject {
    Q_OBJECT
public:
    using Clock = SessionClock;
    using WallClock = SessionWallClock;

    using Setup = MeterSessionSetup;

    // Throws std::invalid_argument for a set-up that lacks a clock, the environment or the table
    // folder.
    explicit MeterSession(Setup setup, QObject* parent = nullptr);
    ~MeterSession() override;

    [[nodiscard]] const MeterProfile& model() const { return m_model; }

    // --- The line ---
    // The port itself, for tests that drive or look at it; hosts use the commands below.
    [[nodiscard]] TCommPortDriver& port() { return *m_port; }
    [[nodiscard]] const TCommPortDriver& port() const { return *m_port; }
    // COM1 to COM4; false while the line is in use, when the open port must stay.
    bool choosePort(int number);
    // A device path instead of COM1 to COM4 (the logger's --port /dev/...).
    void chooseDevice(const QString& path);
    // False when the port cannot be opened; lastOpenError() says why.
    [[nodiscard]] bool connectLine();
    [[nodiscard]] bool isConnected() const;
    [[nodiscard]] const PortOpenError& lastOpenError() const;
    // The port's name (COM1) and device of the open line, or of the last one open.
    [[nodiscard]] const QString& openPortName() const;
    [[nodiscard]] const QString& openDevice() const;
    void disconnectLine();
    // Between connectLine and disconnectLine, also while waiting for a device that went away.
    [[nodiscard]] bool inUse() const { return m_inUse; }
    void setClock(Clock clock) { m_clock = std::move(clock); }
    [[nodiscard]] qint64 now() const { return m_clock(); }
    [[nodiscard]] QDateTime wallNow() const { return m_wallClock(); }

    // --- Bytes and ticks ---
    // The port's receive event: the bytes one read returned.
    void receive(const std::uint8_t* data, std::size_t size);
    // Every 100 ms: kept key codes, then one step of the request cycle (needless for a model
    // without requests or keys).
    void requestTick();
    // Every model's linkTickMs: the link picture's time-out, stale lines and the meter's silence,
    // as the model's frame period sets them.
    void linkTick();
    // Every second: the sampling interval's countdown and the journal, and a save that waits for
    // room tried again once there is room for it (retried gets its outcome, as saveInBackground's
    // done).
    void recordTick(std::function<void(const std::optional<TableProblem>& problem)> retried = {});
    // One look for a device that went away.
    void watchTick();
    void stopWatching();
    // What the line did since Connect, as one line; also kept in the trace.
    QString healthSummary();

    // --- User commands ---
    // A key code or request byte, written without waiting (WriteTo232).
    void write(std::uint8_t byte);
    // A key panel pressed and released, with any mouse button: the release writes the key's long
    // code once it was held kLongPressMs on the session's clock, its short code before. Pressing
    // REL also steps the relative mode the decoder shows.
    void pressKey(MeterKey key);
    void releaseKey();
    void setAlarmLimits(const AlarmLimits& limits) { m_limits = limits; }
    void setRecordFilters(bool repeat, bool interval);
    // The sampling interval's text: a whole number restarts the countdown; anything else is
    // refused and stores nothing until corrected. False when refused.
    bool setIntervalText(const QString& text);
    void setRecordLimit(qint32 limit) { m_recording.RecordLimit = limit; }

    // --- The table of readings (MeterSessionTable.cpp) ---
    // The stored readings, for the grid, exports and the report to read; they change only
    // through the session.
    [[nodiscard]] const ReadingsTable& readings() const { return m_table; }
    // The table for tests that set it up or look into it.
    [[nodiscard]] ReadingsTable& table() { return m_table; }
    // The table the default is, by name (relative to the table folder); only while none is open.
    void setDefaultTableName(const QString& name) { m_table.setTableName(name); }
    // The default table, created when missing; throws TableError when it cannot be opened.
    void openDefaultTable();
    void openTable(const QString& path); // throws TableError
    // Opens another table; when it cannot be opened the one open before opens again. The
    // failure's text, empty on success.
    QString switchTable(const QString& path);
    void closeTable();
    // Writes the pending readings; the problem, with recording waiting until a save succeeds.
    std::optional<TableProblem> save();
    // From now on the table's syncs wait on a thread of their own, so that the request cycle
    // and recording go on while the disk is slow; exports may use the same worker.
    void syncInBackground();
    // As save(), the writes and syncs on the sync worker (without one, at once): done gets the
    // outcome, recording's pause already settled by it.
    using SaveDone = std::function<void(const std::optional<TableProblem>& problem)>;
    void saveInBackground(SaveDone done);
    [[nodiscard]] bool saving() const { return m_table.isSaving(); }
    // The save a host makes on its own schedule, as saveInBackground; none is begun while one
    // waits on the disk, or while a save waits for room and there is none yet: a try that cannot
    // fit would only write onto the full disk. False when none was begun.
    bool trySaveInBackground(SaveDone done);
    // Writes an export built on this thread: the file's writes and syncs on the sync worker
    // (without one, at once); done gets the outcome.
    using ExportDone = std::function<void(const ExportResult& result)>;
    void writeExport(PreparedExport file, ExportDone done);
    // A save or an export waits on the disk; writingEnded() says when none is left.
    [[nodiscard]] bool writing() const { return saving() || m_exportsWriting > 0; }
    // Waits for the work on the sync worker and hands out its outcomes now.
    void finishSyncs();
    // Record/New: empties the table (throws TableError) and starts numbering afresh.
    void emptyTable();
    // Readings an earlier run left in the journal: taken in (numbering goes on after them) or
    // dropped.
    void adoptJournal();
    void dropJournal();

    // --- State, for hosts and tests ---
    [[nodiscard]] const Reading& reading() const { return m_reading; }
    [[nodiscard]] const RecordingState& recording() const { return m_recording; }
    [[nodiscard]] const AlarmLimits& alarmLimits() const { return m_limits; }
    [[nodiscard]] const PeakTracker& peaks() const { return m_peaks; }
    [[nodiscard]] int relPressState() const { return m_relPressState; }
    [[nodiscard]] const LinkHealth& linkHealth() const { return m_health; }
    [[nodiscard]] const TraceList& trace() const { return m_trace; }
    [[nodiscard]] const QString& frameHex() const { return m_frameHex; }
    [[nodiscard]] const QString& mltDigits() const { return m_mltDigits; }
    [[nodiscard]] const RecordingPause& pause() const { return m_pause; }
    [[nodiscard]] bool isSilent() const { return m_silent; }
    [[nodiscard]] const QString& runId() const { return m_runId; }

signals:
    // The last save or export that waited on the disk has ended, its outcome handed out.
    void writingEnded();
    void mainFrame(const FrameResult& result);
    void barFrame(const BarGraph& bar);
    // The link picture: linked on the first frame after none, unlinked on the model's
    // linkLostAfterTicks-th link tick without one.
    void linkChanged(bool linked);
    void readingStored(const StoredReading& stored);
    void readingRefused(const TableProblem& problem, TableFailure failure);
    // A save found the disk full: readings go on as pending, and recordTick tries the save again
    // once there is room. Said once per wait.
    void roomWaitBegan(const TableProblem& problem);
    // A save that waited for room succeeded.
    void roomAgain();
    // Recording paused or resumed, or a save began or ended waiting for room: pause() says which.
    // Each cause is said once.
    void pauseChanged();
    void tableNotice(const TableProblem& notice);
    // Another table opened, or this one was emptied: a host that shows the table reloads it
    // before anything about it is said.
    void tableReplaced();
    void intervalRefused(const QString& text);
    void intervalAccepted();
    void deviceGone(const QString& portName, const QString& device);
    void deviceBack(const QString& portName, const QString& device);
    // The meter stopped answering (silentMs ago was its last frame), or answers again.
    void silenceBegan(qint64 silentMs);
    void silenceEnded();

private:
    // From now on received bytes are cut and decoded.
    void bindReceiver();
    void onLine(const QString& frameHex);
    void heard(qint64 nowMs);
    void decodeMain();
    bool offerToRecording(const Reading& reading);
    void endSilence();
    void onDeviceGone(const QString& portName, const QString& device);
    void onDeviceBack(const QString& portName, const QString& device);
    void pauseRecording(const TableProblem& problem, RecordingPause::Until until);
    void resumeRecording();
    // Said once when the table opens or is emptied: why it cannot take readings, if it cannot.
    void tableChanged();
    // A new run id: at the start, and when Record/New numbers from one again.
    void beginRun();
    void sayTableNotices();
    std::optional<TableProblem> saved(const std::optional<TableProblem>& problem);

    MeterProfile m_model;
    Clock m_clock;
    WallClock m_wallClock;
    QString m_runId;
    std::unique_ptr<TCommPortDriver> m_port;
    DeviceWatcher* m_watcher = nullptr;
    LinkHealth m_health;
    RequestCycle m_cycle;
    RequestWriter m_writer;
    std::unique_ptr<StreamCutter> m_cutter;
    LinkIndicator m_indicator;
    TraceList m_trace;
    bool m_inUse = false;
    bool m_silent = false;
    qint64 m_lastFrameMs = 0;

    QString m_frameHex;
    QString m_mltDigits;
    Reading m_reading;
    int m_relPressState = 0;
    std::optional<HeldKey> m_heldKey;
    AlarmLimits m_limits;
    PeakTracker m_peaks;

    // Outlives the table, whose outstanding work it finishes.
    std::unique_ptr<SyncWorker> m_syncWorker;
    int m_exportsWriting = 0;
    ReadingsTable m_table;
    RecordingState m_recording;
    Recording::Filters m_filters;
    RecordingPause m_pause;
};
