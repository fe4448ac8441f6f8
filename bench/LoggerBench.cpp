#include "LoggerBench.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <benchmark/benchmark.h>
#include <unistd.h>

QString builtProgramsDir() {
    return QCoreApplication::applicationDirPath() + "/../bin/";
}

int benchSeconds() {
    const int seconds = qEnvironmentVariableIntValue("VELMAR_BENCH_SECONDS");
    return seconds > 0 ? seconds : 60;
}

double residentMegabytes() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() < 2 ? -1
                             : fields[1].toDouble() * double(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

SimulatedMeter::SimulatedMeter(const QString& link, const QStringList& extra) {
    m_process.start(builtProgramsDir() + "velmar-sim", QStringList{"--link", link} + extra);
    QElapsedTimer waited;
    waited.start();
    while (!QFileInfo::exists(link) && waited.elapsed() < 10'000)
        QThread::msleep(20);
    m_ready = QFileInfo::exists(link);
}

SimulatedMeter::~SimulatedMeter() {
    m_process.terminate();
    m_process.waitForFinished();
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
