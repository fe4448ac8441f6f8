#pragma once

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTest>

// velmar-log as its users run it, against velmar-sim on a pseudo-terminal: the built programs
// (VELMAR_SIM_BINARY names the simulator), a run's exit and output read back.

inline constexpr int kRunTimeoutMs = 120'000;

inline QString logBinary() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/velmar-log");
}

// velmar-sim serving a pseudo-terminal behind a link, as long as the object lives.
class Meter {
public:
    explicit Meter(const QString& link, const QStringList& extra = {}) : m_link(link) {
        // What the simulator says (a replay running out, a frame it could not deliver) belongs
        // in the test's log next to a failure.
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral(VELMAR_SIM_BINARY),
                        QStringList{QStringLiteral("--link"), link} + extra);
    }
    ~Meter() {
        m_process.terminate();
        if (!m_process.waitForFinished(10'000))
            m_process.kill();
        m_process.waitForFinished();
    }
    Meter(const Meter&) = delete;
    Meter& operator=(const Meter&) = delete;

    [[nodiscard]] bool ready() {
        return m_process.waitForStarted() &&
               QTest::qWaitFor([this] { return QFileInfo::exists(m_link); }, 20'000);
    }

    // For a failing run's message: a simulator that ended under the logger explains a lost link.
    [[nodiscard]] QString state() {
        if (m_process.state() != QProcess::NotRunning)
            return QStringLiteral("velmar-sim still running");
        return m_process.exitStatus() == QProcess::CrashExit
                   ? QStringLiteral("velmar-sim crashed or was killed")
                   : QStringLiteral("velmar-sim exited with code %1").arg(m_process.exitCode());
    }

private:
    QString m_link;
    QProcess m_process;
};

struct Run {
    int exitCode = -1;
    QProcess::ExitStatus status = QProcess::CrashExit;
    QStringList out;
    QString err;
};

inline QStringList linesOf(const QByteArray& bytes) {
    return QString::fromUtf8(bytes).split(u'\n', Qt::SkipEmptyParts);
}

// One run to its end (killed after kRunTimeoutMs). The broker password reaches the logger only
// through its environment, and only when given here: one in the tester's own environment would
// change what a run is refused for.
inline Run runLogger(const QStringList& args, const QString& mqttPassword = {}) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("VELMAR_MQTT_PASSWORD"));
    if (!mqttPassword.isNull())
        env.insert(QStringLiteral("VELMAR_MQTT_PASSWORD"), mqttPassword);
    process.setProcessEnvironment(env);
    process.start(logBinary(), args);
    if (!process.waitForFinished(kRunTimeoutMs)) {
        process.kill();
        process.waitForFinished();
    }
    Run run;
    run.exitCode = process.exitCode();
    run.status = process.exitStatus();
    run.out = linesOf(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}
