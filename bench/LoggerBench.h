#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// What the benchmarks of velmar-log share: the built programs' folder, how long a real-time run
// lasts, this process's resident memory, and the simulated meter the logger reads. The library
// that holds them also holds their entry: an application object without widgets, then Google
// Benchmark's own command line and run.

// The folder of the built programs, with its trailing separator.
QString builtProgramsDir();

// VELMAR_BENCH_SECONDS, 60 by default: how long a benchmark that runs in real time lasts.
int benchSeconds();

// This process's resident memory, in MB; -1 where /proc does not tell.
double residentMegabytes();

// velmar-sim serving a pseudo-terminal behind a link, as long as the object lives.
class SimulatedMeter {
public:
    explicit SimulatedMeter(const QString& link, const QStringList& extra = {});
    ~SimulatedMeter();
    SimulatedMeter(const SimulatedMeter&) = delete;
    SimulatedMeter& operator=(const SimulatedMeter&) = delete;

    // Whether the link appeared within ten seconds of the start.
    [[nodiscard]] bool ready() const { return m_ready; }

private:
    QProcess m_process;
    bool m_ready = false;
};
