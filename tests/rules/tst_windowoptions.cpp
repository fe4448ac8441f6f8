#include "WindowOptions.h"

#include <QTest>

// The program's command line, read before the window system starts: our own options, the window
// system's own let through for it, and everything else refused with the argument named.
class TestWindowOptions : public QObject {
    Q_OBJECT

private slots:
    void argumentsAreTakenOrLetThrough_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("capture");
        QTest::addColumn<bool>("help");
        QTest::newRow("none") << QStringList{} << QString() << false;
        QTest::newRow("capture") << QStringList{"--capture", "line.cap"} << "line.cap" << false;
        QTest::newRow("capture with =") << QStringList{"--capture=line.cap"} << "line.cap" << false;
        QTest::newRow("the window system's platform and display")
            << QStringList{"-platform", "offscreen", "--display", ":93", "--capture", "c"} << "c"
            << false;
        QTest::newRow("the window system's style with =, and its switches")
            << QStringList{"-style=fusion", "-reverse", "--widgetcount"} << QString() << false;
        QTest::newRow("help after others")
            << QStringList{"-platform", "xcb", "-h"} << QString() << true;
        QTest::newRow("help before a bad option")
            << QStringList{"--help", "--no-such-option"} << QString() << true;
    }

    void argumentsAreTakenOrLetThrough() {
        QFETCH(QStringList, args);
        QFETCH(QString, capture);
        QFETCH(bool, help);
        QString error;
        const std::optional<WindowOptions> options =
            parseWindowOptions(args, error, {"VelmarC", "VelmarD", "Tessik"});
        QVERIFY2(options.has_value(), qPrintable(error));
        QCOMPARE(options->capturePath, capture);
        QCOMPARE(options->help, help);
    }

    void badArgumentsAreRefusedByName_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("said");
        QTest::newRow("unknown option") << QStringList{"--fast"} << "unknown option '--fast'";
        QTest::newRow("capture with one dash")
            << QStringList{"-capture", "c"} << "unknown option '-capture'";
        QTest::newRow("capture without its file")
            << QStringList{"--capture"} << "--capture needs a value";
        QTest::newRow("capture with an empty file name")
            << QStringList{"--capture="} << "--capture needs a file name";
        QTest::newRow("the window system's option without its value")
            << QStringList{"-platform"} << "-platform needs a value";
        QTest::newRow("a switch given a value")
            << QStringList{"-reverse=1"} << "unknown option '-reverse=1'";
        QTest::newRow("a stray argument")
            << QStringList{"table.DB"} << "unexpected argument 'table.DB'";
    }

    void badArgumentsAreRefusedByName() {
        QFETCH(QStringList, args);
        QFETCH(QString, said);
        QString error;
        QVERIFY(!parseWindowOptions(args, error, {"VelmarC", "VelmarD", "Tessik"}));
        QVERIFY2(error.startsWith(said), qPrintable(error));
    }
};

QTEST_GUILESS_MAIN(TestWindowOptions)
#include "tst_windowoptions.moc"
