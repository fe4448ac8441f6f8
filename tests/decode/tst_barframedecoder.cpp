#include "BarFrameDecoder.h"

#include <QTest>

class TestBarFrameDecoder : public QObject {
    Q_OBJECT

private slots:
    void digitsGiveSignAndBarPosition_data() {
        QTest::addColumn<QString>("mltDigits");
        QTest::addColumn<QChar>("sign");
        QTest::addColumn<int>("position");

        QTest::newRow("negative sign, empty bar") << "00100" << QChar(u'-') << 1;
        QTest::newRow("overload fills the bar whatever its length") << "17080" << QChar(u'+') << 41;
        QTest::newRow("longest bar goes beyond the full mark") << "FF000" << QChar(u'+') << 64;
        QTest::newRow("bits 7 and 6 of byte 5 do not count") << "C5000" << QChar(u'+') << 6;
        QTest::newRow("sign and overload both set") << "9A784" << QChar(u'-') << 41;
        QTest::newRow("neither sign nor overload") << "9A604" << QChar(u'+') << 27;
        QTest::newRow("byte 2 digit is not used") << "9A60F" << QChar(u'+') << 27;
        QTest::newRow("lower-case digits") << "2a100" << QChar(u'-') << 43;
        QTest::newRow("missing digits repeat the last one") << "9A7" << QChar(u'-') << 27;
        QTest::newRow("a single digit stands for all five") << "A" << QChar(u'+') << 41;
        QTest::newRow("no digits read as zero") << "" << QChar(u'+') << 1;
    }
    void digitsGiveSignAndBarPosition() {
        QFETCH(QString, mltDigits);
        const BarGraph bar = BarFrameDecoder::decode(mltDigits);
        QTEST(bar.sign, "sign");
        QTEST(bar.position, "position");
    }

    void framesAreCutLikeTheReceiverDoes_data() {
        QTest::addColumn<QString>("frameHex");
        QTest::addColumn<QChar>("sign");
        QTest::addColumn<int>("position");

        QTest::newRow("sign and overload set") << "8A123456789A0A" << QChar(u'-') << 41;
        QTest::newRow("plain bar") << "8A123456609A0A" << QChar(u'+') << 27;
        QTest::newRow("line feed stands in for byte 5") << "8A000000100A" << QChar(u'-') << 11;
        QTest::newRow("frame ending after byte 2") << "8A120A" << QChar(u'+') << 41;
        QTest::newRow("kind byte only") << "8A" << QChar(u'+') << 1;
    }
    void framesAreCutLikeTheReceiverDoes() {
        QFETCH(QString, frameHex);
        const BarGraph bar = BarFrameDecoder::decodeFrame(frameHex);
        QTEST(bar.sign, "sign");
        QTEST(bar.position, "position");
    }
};

QTEST_APPLESS_MAIN(TestBarFrameDecoder)
#include "tst_barframedecoder.moc"
