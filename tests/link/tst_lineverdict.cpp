#include "LineVerdict.h"

#include <QTest>

class LineVerdictTest : public QObject {
    Q_OBJECT

private slots:
    void linesGoWhereTheirFirstByteAndLengthSay_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("verdict");
        const auto main = int(LineVerdict::MainDisplay);
        const auto bar = int(LineVerdict::BarGraph);
        const auto shortLine = int(LineVerdict::TooShort);
        const auto unknown = int(LineVerdict::UnknownKind);
        QTest::newRow("main frame, eleven bytes") << "89700800000F010203040A" << main;
        QTest::newRow("main frame, ten bytes") << "89700800000F0102030A" << shortLine;
        QTest::newRow("main frame, one byte lost in the middle")
            << "897008000F010203040A" << shortLine;
        QTest::newRow("main frame, longer") << "89700800000F0102030405060A" << main;
        QTest::newRow("bar frame, seven bytes") << "8A123456789A0A" << bar;
        QTest::newRow("bar frame, six bytes") << "8A123456780A" << shortLine;
        QTest::newRow("bare request echo") << "890A" << shortLine;
        QTest::newRow("unknown first byte, long") << "55555555555555555555550A" << unknown;
        QTest::newRow("unknown first byte, short") << "550A" << unknown;
        QTest::newRow("line feed alone") << "0A" << unknown;
    }

    void linesGoWhereTheirFirstByteAndLengthSay() {
        QFETCH(QString, line);
        QFETCH(int, verdict);
        QCOMPARE(int(lineVerdictOf(line)), verdict);
        QCOMPARE(lineTooShortForKind(line), verdict == int(LineVerdict::TooShort));
    }
};

QTEST_APPLESS_MAIN(LineVerdictTest)
#include "tst_lineverdict.moc"
