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

    void captureCutShortInsideAFrameDecodesTheRestAndSaysSo() {
        const Run run = runDecode({}, "0.100 < 8A000000104A0A\n0.200 < 8970080000\n");
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(kinds(run), (QStringList{"bar", "main"}));
        QVERIFY2(run.errors.contains("ends inside a frame (5 bytes"), qPrintable(run.errors));
    }
};

QTEST_GUILESS_MAIN(TestDecodeCapture)
#include "tst_decodecapture.moc"
