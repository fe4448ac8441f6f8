#include "DecodeRun.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

namespace {

QStringList kinds(const Run& run) {
    QStringList got;
    for (const QJsonObject& object : run.objects)
        got.append(object["kind"].toString());
    return got;
}

// The first character a terminal would act on rather than show: C0 and C1 controls, DEL, and
// bytes that are no UTF-8 (read as U+FFFD); -1 when there is none. Line feeds end messages.
qsizetype firstRawControl(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if ((c < 0x20 && c != u'\n') || (c >= 0x7F && c < 0xA0) || c == 0xFFFD)
            return i;
    }
    return -1;
}

} // namespace

class TestDecodeCapture : public QObject {
    Q_OBJECT

private slots:
    // The frames of a capture, however the serial poll split them, decode as the same frames
    // given one per line.
    void receivedFramesDecodeWholeAcrossEventsAndSentBytesArePassedOver() {
        const Run whole = runDecode({}, "89700800000F010203040A\n8A000000104A0A\n8A000000004A0A\n");
        const Run captured = runDecode({}, "# velmar capture 1\n"
                                           "# 0.000 opened /dev/ttyUSB0\n"
                                           "0.100 > 89\n"
                                           "0.105 < 89700800\n"
                                           "0.110 < 000F010203040A\n"
                                           "0.200 > 8A\n"
                                           "0.300 > 8a\n"
                                           "0.310 < 8A000000104A0A8a000000004a0a\n"
                                           "0.400 > A5\n");
        QCOMPARE(captured.exitCode, 0);
        QVERIFY2(captured.errors.isEmpty(), qPrintable(captured.errors));
        QCOMPARE(kinds(captured), (QStringList{"main", "bar", "bar"}));
        QCOMPARE(captured.objects, whole.objects);
    }

    void badCaptureLinesAreReportedByNumberAndTheRestDecoded() {
        const Run run = runDecode({}, "0.100 < 8A00\n"
                                      "0.1x < 0000\n"
                                      "0.200 ? 104A0A\n"
                                      "0.300 < 0000104A0A\n"
                                      "89700800000F010203040A\n");
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(kinds(run), (QStringList{"bar", "main"}));
        QVERIFY2(run.errors.contains(":2: not a capture event: time '0.1x'"),
                 qPrintable(run.errors));
        QVERIFY2(run.errors.contains(":3: not a capture event: direction '?'"),
                 qPrintable(run.errors));
    }

    // A capture line that clears the screen, sets the terminal's title or colours it is named
    // with its bytes escaped; the messages still say which line and why.
    void controlBytesOfABadLineReachTheTerminalEscaped() {
        const Run run = runDecode({}, "\x1b[2J\x1b[H < 890A\n"
                                      "0.100 \x1b]0;owned\x07 890A\n"
                                      "0.200 < 890A \x1b[31mred\x7f\n"
                                      "0.300 < 890A \xc2\x9b"
                                      "31m\x9b"
                                      "2J\xe2\x82\xac\n");
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(firstRawControl(run.errors) < 0, qPrintable(run.errors));
        QVERIFY2(run.errors.contains(":1: not a capture event: time '\\x1B[2J\\x1B[H'"),
                 qPrintable(run.errors));
        QVERIFY2(run.errors.contains(":2: not a capture event: direction '\\x1B]0;owned\\x07'"),
                 qPrintable(run.errors));
        QVERIFY2(run.errors.contains(":3: not a capture event: unexpected '\\x1B[31mred\\x7F'"),
                 qPrintable(run.errors));
        // C1 controls, written in UTF-8 or as lone bytes, are escaped; other text stays readable.
        QVERIFY2(run.errors.contains(":4: not a capture event: unexpected '\\xC2\\x9B31m\\x9B2J"
                                     "\u20ac'"),
                 qPrintable(run.errors));
    }

    void captureCutShortInsideAFrameDecodesTheRestAndSaysSo() {
        const Run run = runDecode({}, "0.100 < 8A000000104A0A\n0.200 < 8970080000\n");
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(kinds(run), (QStringList{"bar", "main"}));
        QVERIFY2(run.errors.contains("ends inside a frame (5 bytes"), qPrintable(run.errors));
    }
};

QTEST_GUILESS_MAIN(TestDecodeCapture)
#include "tst_decodecapture.moc"
