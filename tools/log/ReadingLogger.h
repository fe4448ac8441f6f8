#pragma once

#include "LogOptions.h"
#include "MeterSession.h"

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class CaptureWriter;

// The window's recording without the window: it hosts the same MeterSession, driven by timers of
// its own. Each stored reading is handed to the output as one line; what happens to the port and
// the table goes to the status output. The timer handlers and the receive handler are public so
// that tests and benchmarks drive them without waiting.
class ReadingLogger : public QObject {
    Q_OBJECT
public:
    enum ExitCode { kDone = 0, kBadArguments = 1, kCannotOpen = 2, kCannotWrite = 3 };

    // One line without its line end; false when the output is closed for good.
    using OutputSink = std::function<bool(const std::string& line)>;
    using StatusSink = std::function<void(const QString& line)>;

    // `setup` is the session's; the line and the poll follow the options unless given.
    explicit ReadingLogger(LogOptions options, QObject* parent = nullptr,
                           MeterSession::Setup setup = MeterSession::Setup::forProcess());
    ~ReadingLogger() override;

    // Standard output and standard error unless set.
    void setOutput(OutputSink sink) { m_output = std::move(sink); }
    void setStatus(StatusSink sink) { m_status = std::move(sink); }

    // Opens the port and the table and starts the timers; the exit code, after one line that
    // says which and why, when something cannot be opened.
    [[nodiscard]] std::optional<int> start();
    // The steps of start(), for a host that feeds the frames itself.
    [[nodiscard]] std::optional<int> openPort();
    [[nodiscard]] std::optional<int> openTable();
    void startTimers();

    // Saves and ends the run with code (kCannotWrite instead when the save fails); `why` is
    // said on the status output. finished() follows from the event loop.
    void finish(int code, const QString& why);
    [[nodiscard]] bool isFinished() const { return m_finished; }

    // The port's receive event: bytes as one read returned them.
    void receive(const std::uint8_t* data, std::size_t size);
    // Every link tick of the model (100 ms for the meters that answer requests): the run's end,
    // the link, and the request cycle where the meter takes requests.
    void requestTick();
    // Every second: the interval's countdown, the journal, the meter's silence, and a save that
    // waits for room once there is room.
    void recordTick();
    void saveTick();   // every --save-every seconds
    void healthTick(); // every minute

    [[nodiscard]] const ReadingsTable& table() const { return m_session.readings(); }
    [[nodiscard]] const RecordingState& recording() const { return m_session.recording(); }
    [[nodiscard]] MeterSession& session() { return m_session; }
    [[nodiscard]] const LinkHealth& health() const { return m_session.linkHealth(); }
    // The id this run's stored readings carry.
    [[nodiscard]] const QString& run() const { return m_session.runId(); }
    [[nodiscard]] qint64 clockMs() const { return m_session.now(); }
    [[nodiscard]] QDateTime wallNow() const { return m_session.wallNow(); }

signals:
    void finished(int exitCode);

private:
    void bindSession();
    void onStored(const StoredReading& stored);
    void onRefused(const TableProblem& problem, TableFailure failure);
    void print(const StoredReading& stored);
    // Writes pending readings; false after saying why when the table cannot take them. A save
    // that found the disk full waits for room (said once): the caller goes on recording.
    [[nodiscard]] bool save();
    // Says what a save found; inFileBefore is how many readings the table file held before it.
    [[nodiscard]] bool saved(const std::optional<TableProblem>& problem, qsizetype inFileBefore);
    [[nodiscard]] MeterSession::SaveDone savedTo(qsizetype inFileBefore);
    // The one line that ends a run whose readings the table could not take.
    [[nodiscard]] QString unwrittenLine() const;
    void adoptJournal();
    void sayNotice(const TableProblem& notice);
    void say(const QString& text);
    [[nodiscard]] std::optional<int> fail(int code, const QString& text);

    LogOptions m_options;
    std::shared_ptr<CaptureWriter> m_capture;
    bool m_captureFailureSaid = false;
    MeterSession m_session;
    qint64 m_mainReadings = 0;
    qint64 m_startedMs = 0;     // when the timers started, for --duration
    bool m_journalLost = false; // pending readings that the journal could not take
    bool m_outputClosed = false;
    QString m_saveError; // why the last save failed; empty after one that worked
    bool m_finished = false;
    QTimer m_requestTimer;
    QTimer m_recordTimer;
    QTimer m_saveTimer;
    QTimer m_healthTimer;
    OutputSink m_output;
    StatusSink m_status;
};
