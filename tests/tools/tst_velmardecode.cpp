#include "DecodeRun.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

struct PeakRun {
    int exitCode = -1;
    long maxRssKiB = -1;
    QByteArray output;
    QByteArray errors;
};

// Runs velmar-decode on standard input head, fillBytes copies of fill, then tail, written
// through a pipe while it reads, and reports its peak resident memory.
PeakRun runWithPeak(const QByteArray& head, qsizetype fillBytes, const QByteArray& tail,
                    const QTemporaryDir& dir) {
    const QByteArray program =
        QFile::encodeName(QCoreApplication::applicationDirPath() + "/../bin/velmar-decode");
    const QByteArray outPath = QFile::encodeName(dir.filePath("out.txt"));
    const QByteArray errPath = QFile::encodeName(dir.filePath("err.txt"));
    int input[2];
    if (pipe2(input, O_CLOEXEC) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.constData(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.constData(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    char* argv[] = {const_cast<char*>(program.constData()), nullptr};
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, program.constData(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(input[0]);
    if (spawned != 0) {
        close(input[1]);
        return {};
    }
    const auto writeAll = [&](const QByteArray& bytes) {
        for (qsizetype done = 0; done < bytes.size();) {
            const ssize_t n = write(input[1], bytes.constData() + done, bytes.size() - done);
            if (n <= 0)
                return;
            done += n;
        }
    };
    writeAll(head);
    const QByteArray chunk(1 << 20, '8');
    for (qsizetype left = fillBytes; left > 0; left -= chunk.size())
        writeAll(chunk.left(std::min(left, chunk.size())));
    writeAll(tail);
    close(input[1]);
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid)
        return {};
    PeakRun run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.maxRssKiB = usage.ru_maxrss;
    QFile out(dir.filePath("out.txt"));
    QFile err(dir.filePath("err.txt"));
    if (out.open(QIODevice::ReadOnly))
        run.output = out.readAll();
    if (err.open(QIODevice::ReadOnly))
        run.errors = err.readAll();
    return run;
}

QJsonArray strings(const QStringList& list) {
    return QJsonArray::fromStringList(list);
}

} // namespace

class TestVelmarDecode : public QObject {
    Q_OBJECT

private slots:
    void printsOneObjectPerLineAndReportsBadLines() {
        const Run run = runDecode({}, "89700800000F010203040A\n"
                                      " 8a123456789a0a \r\n"
                                      "\n"
                                      "89 70\n"
                                      "0100\n"
                                      "897\n");
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.objects.size(), 4);

        const QJsonObject main{{"kind", "main"},
                               {"text", "012.34"},
                               {"value", 1234},
                               {"unit", "V"},
                               {"acdc", "DC"},
                               {"range", "AUTO"},
                               {"rangeCode", 1},
                               {"dial", 462},
                               {"chart", 1234},
                               {"axis", QJsonArray{-8000, 8000}},
                               {"dialScale", 80},
                               {"wide", false},
                               {"digits", strings({"0", "1", "2", "3", "4"})},
                               {"d0", false},
                               {"bar", true},
                               {"lit", strings({"LcdAuto", "LcdDc1", "LcdP2", "LcdV"})}};
        QCOMPARE(run.objects[0], main);
        QCOMPARE(run.objects[1], (QJsonObject{{"kind", "bar"}, {"sign", "-"}, {"position", 41}}));
        const QJsonObject other{{"kind", "other"}};
        QCOMPARE(run.objects[2], other);
        QCOMPARE(run.objects[3], other);

        QVERIFY2(run.errors.contains(":4: not a frame's hex text: character ' ' at column 3"),
                 qPrintable(run.errors));
        QVERIFY2(run.errors.contains(":6: not a frame's hex text: odd number of hex digits"),
                 qPrintable(run.errors));
    }

    void litIsSortedByteWiseAndUnitTextSurvivesQuoting() {
        // Resistance range 2 with byte 3 bit 2, low battery and a REL press.
        const Run run = runDecode({"--rel", "2"}, "896050042000010203040A\n");
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.objects.size(), 1);
        QCOMPARE(run.objects[0]["unit"].toString(), QStringLiteral("&  k*"));
        QCOMPARE(run.objects[0]["range"].toString(), QStringLiteral("MANU"));
        QCOMPARE(run.objects[0]["lit"].toArray(),
                 strings({"LCDBATT", "LCDBF", "LCDFm", "LCDRel", "LCDk", "LCDohm", "LcdP2"}));
    }

    void lineFeedsInsideALineCutItOnlyWhenAsked_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("kinds");
        QTest::newRow("cut like the receiver")
            << QStringList{"--cut"} << QStringList{"main", "other", "bar"};
        QTest::newRow("one line, one frame") << QStringList{} << QStringList{"main"};
    }
    void lineFeedsInsideALineCutItOnlyWhenAsked() {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, kinds);
        const Run run = runDecode(arguments, "89700A00000F010203040A8A000000100C\n");
        QStringList got;
        for (const QJsonObject& object : run.objects)
            got.append(object["kind"].toString());
        QCOMPARE(got, kinds);
        if (kinds.size() == 3) // the tail without a line feed is decoded, not dropped
            QCOMPARE(run.objects[2]["position"].toInt(), 13);
    }

    void unreadableFileFailsButOthersAreStillDecoded() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QFile frames(dir.filePath("frames.txt"));
        QVERIFY(frames.open(QIODevice::WriteOnly));
        frames.write("8A000000100A\n");
        frames.close();
        const QString missing = dir.filePath("missing.txt");

        const Run run = runDecode({missing, frames.fileName()});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.errors.contains("cannot open '" + missing + "'"), qPrintable(run.errors));
        QCOMPARE(run.objects.size(), 1);
        QCOMPARE(run.objects[0]["sign"].toString(), QStringLiteral("-"));
    }

    // The program's trace holds its notes next to the frames; they are never decoded as frames.
    void notesInATraceAreSkipped() {
        const Run run = runDecode({}, "# link health: requests 3 sent, 0 skipped\n"
                                      "  # stale 8970\n"
                                      "8A000000100A\n");
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.errors.isEmpty(), qPrintable(run.errors));
        QCOMPARE(run.objects.size(), 1);
        QCOMPARE(run.objects[0]["kind"].toString(), QStringLiteral("bar"));
        QVERIFY(run.notes.isEmpty());
    }

    void summaryCountsATraceAsTheProgramDoes_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("summary");
        QTest::newRow("one line, one frame")
            << QStringList{"--summary"}
            << "# link health (trace): frames 1 main, 1 bar; dropped 1 stale, 1 too short, 2 "
               "unknown; reconnects 1";
        QTest::newRow("cut like the receiver")
            << QStringList{"--summary", "--cut"}
            << "# link health (trace): frames 2 main, 1 bar; dropped 1 stale, 1 too short, 2 "
               "unknown; reconnects 1";
    }

    void summaryCountsATraceAsTheProgramDoes() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, summary);
        const Run run = runDecode(arguments, "89700800000F010203040A89700800000F010203040A\n"
                                             "# stale 897008\n"
                                             "8a123456789a0a\n"
                                             "8A12340A\n"
                                             "550A\n"
                                             "# gone COM1 /dev/ttyUSB0\n"
                                             "# back COM1 /dev/ttyUSB0\n"
                                             "\n"
                                             "not hex\n");
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.objects.isEmpty());
        QCOMPARE(run.notes, QStringList{summary});
        QVERIFY(run.errors.contains(":9: not a frame's hex text"));
    }

    // The longest line the frame receiver hands over, 4096 bytes, is the longest frame taken.
    void linesLongerThanAFrameAreSkippedWithAMessage_data() {
        QTest::addColumn<int>("hexDigits");
        QTest::addColumn<bool>("taken");
        QTest::newRow("as long as the longest frame") << 8192 << true;
        QTest::newRow("one byte longer") << 8194 << false;
    }

    void linesLongerThanAFrameAreSkippedWithAMessage() {
        QFETCH(int, hexDigits);
        QFETCH(bool, taken);
        const QByteArray line = "89" + QByteArray(hexDigits - 2, '0');
        const Run run = runDecode({}, "  " + line + " \n8A000000100A\n");
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.objects.size(), taken ? 2 : 1);
        QCOMPARE(run.objects.last()["kind"].toString(), QStringLiteral("bar"));
        QCOMPARE(run.errors.contains("standard input:1: line of"), !taken);
    }

    // Input without line feeds once made the tool hold all of it; now it costs what a line does.
    void aStreamWithoutLineFeedsIsReadInBoundedMemory() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QByteArray frame = "89700800000F010203040A\n";
        const PeakRun small = runWithPeak({}, 0, frame, dir);
        QCOMPARE(small.exitCode, 0);
        constexpr qsizetype kFill = 50 << 20;
        const PeakRun large = runWithPeak("89", kFill, "\n" + frame, dir);
        QCOMPARE(large.exitCode, 0);
        QVERIFY2(large.errors.contains("standard input:1: line of " +
                                       QByteArray::number(kFill + 2) + " characters"),
                 large.errors.constData());
        QCOMPARE(large.output.count("\"kind\":\"main\""), 1);
        const long grownKiB = large.maxRssKiB - small.maxRssKiB;
        QVERIFY2(grownKiB < 16 * 1024, qPrintable(QStringLiteral("peak grew by %1 KiB from %2 KiB")
                                                      .arg(grownKiB)
                                                      .arg(small.maxRssKiB)));
    }

    void relOutsideZeroToTwoIsRefused() {
        const Run run = runDecode({"--rel", "3"});
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.errors.contains("--rel takes 0, 1 or 2"));
    }
};

QTEST_GUILESS_MAIN(TestVelmarDecode)
#include "tst_velmardecode.moc"
