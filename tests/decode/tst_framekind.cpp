#include "FrameKind.h"
#include "MltDigits.h"

#include <QTest>

// How a frame's hex text names its decoder and what the bar-graph decoder is handed.
class FrameKindTest : public QObject {
    Q_OBJECT

private slots:
    void theFirstByteNamesTheKind_data() {
        QTest::addColumn<QString>("frame");
        QTest::addColumn<int>("kind");
        QTest::newRow("main display") << "89700800000F010203040A" << int(FrameKind::MainDisplay);
        QTest::newRow("bar graph") << "8A123456789A0A" << int(FrameKind::BarGraph);
        QTest::newRow("a lone line feed") << "0A" << int(FrameKind::Other);
        QTest::newRow("another request byte") << "8B0A" << int(FrameKind::Other);
        QTest::newRow("89 further in does not count") << "0089" << int(FrameKind::Other);
        QTest::newRow("half a byte") << "8" << int(FrameKind::Other);
        QTest::newRow("empty") << "" << int(FrameKind::Other);
    }

    void theFirstByteNamesTheKind() {
        QFETCH(QString, frame);
        QFETCH(int, kind);
        QCOMPARE(int(frameKindOf(frame)), kind);
    }

    void mltDigitsAreBytesFiveAndFourThenTheLowNibbleOfTwo_data() {
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QString>("digits");
        QTest::newRow("full frame") << "8A123456789A0A"
                                    << "9A784";
        QTest::newRow("five bytes: line feed stands for byte 5") << "8A123456780A"
                                                                 << "0A784";
        QTest::newRow("three bytes") << "8A12340A"
                                     << "4";
        QTest::newRow("line feed only") << "0A"
                                        << "";
    }

    void mltDigitsAreBytesFiveAndFourThenTheLowNibbleOfTwo() {
        QFETCH(QString, frame);
        QFETCH(QString, digits);
        QCOMPARE(mltDigitsOf(frame), digits);
    }
};

QTEST_APPLESS_MAIN(FrameKindTest)
#include "tst_framekind.moc"
