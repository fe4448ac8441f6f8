#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTest>

namespace {

struct Run {
    int exitCode = -1;
    bool crashed = false;
    QString out;
    QString err;
};

// Runs a built program as a user without any display would: no X, no Wayland, no platform
// chosen, so that a program that starts its window system before reading its arguments aborts.
Run runWithoutDisplay(const QString& program, const QStringList& arguments) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(QCoreApplication::applicationDirPath() + "/../bin/" + program, arguments);
    if (!process.waitForStarted() || !process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    Run run;
    run.crashed = process.exitStatus() == QProcess::CrashExit;
    run.exitCode = process.exitCode();
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

const QStringList kTools = {"velmar", "velmar-sim", "velmar-decode", "velmar-log"};

} // namespace

// Every program's command line as a user meets it: --help answers on standard output and names
// the exit codes, and a bad argument gets exactly the code the help names for it, with one
// message, before any window, port or file is touched.
class TestToolCommandLines : public QObject {
    Q_OBJECT

private slots:
    void helpIsAnsweredWithoutADisplayAndNamesTheExitCodes_data() {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QString>("option");
        for (const QString& tool : kTools) {
            QTest::newRow(qPrintable(tool + " --help")) << tool << QStringLiteral("--help");
            QTest::newRow(qPrintable(tool + " -h")) << tool << QStringLiteral("-h");
        }
    }

    void helpIsAnsweredWithoutADisplayAndNamesTheExitCodes() {
        QFETCH(QString, tool);
        QFETCH(QString, option);
        const Run run = runWithoutDisplay(tool, {option});
        QVERIFY2(!run.crashed, qPrintable(run.err));
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.out.startsWith(QStringLiteral("Usage: ")), qPrintable(run.out));
        QVERIFY2(run.out.contains(QStringLiteral("Exit codes: 0 ")), qPrintable(run.out));
        QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
    }

    void aBadArgumentGetsTheCodeTheHelpNames_data() {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("named");
        for (const QString& tool : kTools) {
            QTest::newRow(qPrintable(tool + ": unknown option"))
                << tool << QStringList{"--no-such-option"} << QStringLiteral("--no-such-option");
            QTest::newRow(qPrintable(tool + ": unknown short option"))
                << tool << QStringList{"-Z"} << QStringLiteral("-Z");
        }
        QTest::newRow("velmar: --capture without its file")
            << "velmar" << QStringList{"--capture"} << QStringLiteral("--capture");
        QTest::newRow("velmar: a stray argument")
            << "velmar" << QStringList{"stray"} << QStringLiteral("stray");
        QTest::newRow("velmar: --meter-id without --mqtt")
            << "velmar" << QStringList{"--meter-id", "bench1"} << QStringLiteral("--meter-id");
        QTest::newRow("velmar: a broker URL of another scheme")
            << "velmar" << QStringList{"--mqtt", "ftp://localhost"} << QStringLiteral("--mqtt");
        QTest::newRow("velmar-sim: --link without its path")
            << "velmar-sim" << QStringList{"--link"} << QStringLiteral("--link");
        QTest::newRow("velmar-decode: --rel without its value")
            << "velmar-decode" << QStringList{"--rel"} << QStringLiteral("--rel");
        QTest::newRow("velmar-decode: --rel out of range")
            << "velmar-decode" << QStringList{"--rel", "3"} << QStringLiteral("--rel");
        QTest::newRow("velmar-log: --table without its file")
            << "velmar-log" << QStringList{"--port", "COM1", "--table"}
            << QStringLiteral("--table");
    }

    void aBadArgumentGetsTheCodeTheHelpNames() {
        QFETCH(QString, tool);
        QFETCH(QStringList, arguments);
        QFETCH(QString, named);
        const Run help = runWithoutDisplay(tool, {"--help"});
        static const QRegularExpression badArguments(
            QStringLiteral("\\b(\\d+)\\s+bad\\s+arguments"));
        const QRegularExpressionMatch said = badArguments.match(help.out);
        QVERIFY2(said.hasMatch(), qPrintable(help.out));
        const int code = said.captured(1).toInt();
        QVERIFY(code != 0);

        const Run run = runWithoutDisplay(tool, arguments);
        QVERIFY2(!run.crashed, qPrintable(run.err));
        QCOMPARE(run.exitCode, code);
        QVERIFY2(run.err.startsWith(tool + ": ") && run.err.contains(named), qPrintable(run.err));
        QVERIFY2(run.out.isEmpty(), qPrintable(run.out));
    }
};

QTEST_GUILESS_MAIN(TestToolCommandLines)
#include "tst_toolcommandlines.moc"
