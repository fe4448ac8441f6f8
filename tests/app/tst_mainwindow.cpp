#include "../support/PtyPair.h"
#include "RecordingMessages.h"

#include "BarGraphView.h"
#include "BevelPanel.h"
#include "DialPanel.h"
#include "LcdPanel.h"
#include "MeterProfile.h"
#include "TCommPortDriver.h"
#include "TFCOMM.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProperty>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

class MainWindowTest : public QObject {
    Q_OBJECT

    std::shared_ptr<RecordingMessages> messages;
    std::unique_ptr<TFCOMM> window;
    std::unique_ptr<PtyPair> pty;
    QTemporaryDir dir; // the table of readings lives in the current folder

    void connectToPty() {
        pty = std::make_unique<PtyPair>();
        QVERIFY(pty->ok());
        qputenv("VELMAR_COM1", pty->slavePath().toLocal8Bit());
        window->BTCon1Click();
        QVERIFY(window->session().port().IsConnected());
    }

    void quietTimers() {
        window->findChild<QTimer*>(QStringLiteral("Timer1"))->stop();
        window->findChild<QTimer*>(QStringLiteral("ConTimer"))->stop();
    }

private slots:
    void initTestCase() { QVERIFY(QDir::setCurrent(dir.path())); }

    void init() {
        messages = std::make_shared<RecordingMessages>();
        window = std::make_unique<TFCOMM>(messages);
    }

    void cleanup() {
        window.reset();
        pty.reset();
        qunsetenv("VELMAR_COM1");
    }

    void startsAsTheVelmarDBuildInTheDesignedState() {
        QCOMPARE(window->windowTitle(), QString("VelmarD Interface Program _Ver: 1.00"));
        QCOMPARE(window->session().port().ComPortSpeed(), br9600);
        QCOMPARE(window->session().port().ComPortDataBits(), db8BITS);
        QCOMPARE(window->session().port().ComPort(), pnCOM1);
        QVERIFY(bool(window->session().port().OnReceiveData()));
        QCOMPARE(window->findChild<QLineEdit*>(QStringLiteral("Setmax"))->text(), QString("80000"));
        QCOMPARE(window->findChild<QLineEdit*>(QStringLiteral("SetMin"))->text(),
                 QString("-80000"));
        QVERIFY(window->findChild<QAction*>(QStringLiteral("COM11"))->isChecked());
        QVERIFY(!window->findChild<QAction*>(QStringLiteral("STOP1"))->isEnabled());
        QVERIFY(window->findChild<QAction*>(QStringLiteral("N100001"))->isChecked());
        QVERIFY(window->findChild<QAction*>(QStringLiteral("Fill1"))->isChecked());
        QVERIFY(!window->session().port().IsConnected());
        QVERIFY(messages->errors.isEmpty());
        QCOMPARE(window->findChild<QTimer*>(QStringLiteral("Timer1"))->interval(), 100);
        // Before any frame the mirror shows the model's captions with every symbol off.
        QCOMPARE(window->findChild<LcdPanel*>(QStringLiteral("Panel1"))
                     ->caption(mirrorControl(Annunciator::LcdAC)),
                 QString("AC trms"));
        QString digits;
        for (auto d : {LcdControl::LCDD0, LcdControl::LcdDa, LcdControl::LcdDb, LcdControl::LcdDc,
                       LcdControl::LcdDd})
            digits += window->findChild<LcdPanel*>(QStringLiteral("Panel1"))->caption(d);
        QCOMPARE(digits, QString("79999"));
        QVERIFY(!window->findChild<LcdPanel*>(QStringLiteral("Panel1"))
                     ->isControlVisible(mirrorControl(Annunciator::LcdAC)));
        // The broken-link picture, and the start values of the peaks, numbering and limits.
        QVERIFY(!window->findChild<QLabel*>(QStringLiteral("CONok"))->isVisibleTo(window.get()));
        QVERIFY(window->findChild<QLabel*>(QStringLiteral("CONokN"))->isVisibleTo(window.get()));
        QCOMPARE(window->session().peaks().prevUnitText(), QString("113"));
        QCOMPARE(window->session().recording().RecordLimit, 10000);
        QCOMPARE(window->session().recording().NextRecordNo, 1);
        QVERIFY(window->chartPaging().followsLastPage());
        QCOMPARE(window->session().alarmLimits().MaxLimit, 80000.0f); // the VelmarD row
    }

    // Each model's row: the title, the captions that differ, the limits it starts with, and
    // whether its key panels work (a meter without remote keys says why in their tool tips).
    void eachModelStartsWithItsOwnRow_data() {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("ac");
        QTest::addColumn<QString>("digits"); // LCDD0 to LcdDd
        QTest::addColumn<QString>("max");
        QTest::addColumn<bool>("keys");
        const auto row = [](const char* model, const char* title, const char* ac,
                            const char* digits, const char* max, bool keys) {
            QTest::newRow(model) << QString(model) << QString(title) << QString(ac)
                                 << QString(digits) << QString(max) << keys;
        };
        row("VelmarC", "VelmarC Interface Program _Ver: 1.00", "AC", "7999", "8000", true);
        row("VelmarD", "VelmarD Interface Program _Ver: 1.00", "AC trms", "79999", "80000", true);
        row("tessik", "Tessik Interface Program _Ver: 1.00", "AC", "7999", "8000", true);
        row("fs9721", "FS9721 Interface Program _Ver: 1.00", "AC", "3999", "4000", false);
    }

    void eachModelStartsWithItsOwnRow() {
        QFETCH(QString, model);
        QFETCH(QString, title);
        QFETCH(QString, ac);
        QFETCH(QString, digits);
        QFETCH(QString, max);
        auto setup = MeterSession::Setup::forProcess();
        setup.model = *MeterProfile::named(model);
        window = std::make_unique<TFCOMM>(messages, nullptr, std::move(setup));
        QCOMPARE(window->windowTitle(), title);
        const auto* mirror = window->findChild<LcdPanel*>(QStringLiteral("Panel1"));
        QCOMPARE(mirror->caption(mirrorControl(Annunciator::LcdAC)), ac);
        QString shown;
        for (auto d : {LcdControl::LCDD0, LcdControl::LcdDa, LcdControl::LcdDb, LcdControl::LcdDc,
                       LcdControl::LcdDd})
            shown += mirror->caption(d);
        QCOMPARE(shown, digits);
        QCOMPARE(window->findChild<QLineEdit*>(QStringLiteral("Setmax"))->text(), max);
        QCOMPARE(window->findChild<QLineEdit*>(QStringLiteral("SetMin"))->text(), "-" + max);
        QFETCH(bool, keys);
        for (const char* name :
             {"BtPeak", "BtRecord", "BtRange", "BtHold", "BtSel", "BtRel", "BtHz", "BtBuzzer"}) {
            const auto* key = window->findChild<BevelPanel*>(QLatin1String(name));
            QCOMPARE(key->isEnabled(), keys);
            QCOMPARE(key->toolTip().contains(QStringLiteral("no keys")), !keys);
        }
    }

    void portPanelsRingThroughTheFourPorts() {
        const QList<BevelPanel*> panels{window->findChild<BevelPanel*>(QStringLiteral("BtCOM1")),
                                        window->findChild<BevelPanel*>(QStringLiteral("BtCOM2")),
                                        window->findChild<BevelPanel*>(QStringLiteral("BtCOM3")),
                                        window->findChild<BevelPanel*>(QStringLiteral("BtCOM4"))};
        const QList<QAction*> entries{window->findChild<QAction*>(QStringLiteral("COM11")),
                                      window->findChild<QAction*>(QStringLiteral("COM21")),
                                      window->findChild<QAction*>(QStringLiteral("COM31")),
                                      window->findChild<QAction*>(QStringLiteral("COM41"))};
        for (int step = 1; step <= 4; ++step) {
            BevelPanel* visible = panels[(step - 1) % 4];
            QTest::mouseClick(visible, Qt::LeftButton);
            const int port = step % 4; // index of the next port
            for (int i = 0; i < 4; ++i) {
                QCOMPARE(panels[i]->isVisibleTo(window.get()), i == port);
                QCOMPARE(entries[i]->isChecked(), i == port);
            }
            QCOMPARE(int(window->session().port().ComPort()), port);
        }
    }

    void aPortThatCannotBeOpenedIsReportedAndTheScreenStaysDisconnected() {
        qputenv("VELMAR_COM1", "/nonexistent/ttyX");
        window->BTCon1Click();
        QVERIFY(!window->session().port().IsConnected());
        QCOMPARE(messages->errors.size(), 1);
        const QString& text = messages->errors[0];
        QVERIFY2(text.contains("COM1") && text.contains("/nonexistent/ttyX") &&
                     text.contains("absent"),
                 qPrintable(text));
        QVERIFY(window->findChild<BevelPanel*>(QStringLiteral("BTCon"))->isVisibleTo(window.get()));
        QVERIFY(
            !window->findChild<BevelPanel*>(QStringLiteral("BtDiscon"))->isVisibleTo(window.get()));
        QVERIFY(window->findChild<QAction*>(QStringLiteral("START1"))->isEnabled());
        QVERIFY(window->findChild<QMenu*>(QStringLiteral("ComSetup"))->isEnabled());
    }

    void connectAndDisconnectSwitchPanelsAndMenus() {
        connectToPty();
        quietTimers();
        window->Timer1Timer(); // the request cycle's first step
        QCOMPARE(pty->receive(), QByteArray::fromHex("8A"));
        QVERIFY(!window->findChild<QMenu*>(QStringLiteral("ComSetup"))->isEnabled());
        QVERIFY(window->findChild<QAction*>(QStringLiteral("START1"))->isChecked() &&
                !window->findChild<QAction*>(QStringLiteral("START1"))->isEnabled());
        QVERIFY(window->findChild<QAction*>(QStringLiteral("STOP1"))->isEnabled() &&
                !window->findChild<QAction*>(QStringLiteral("STOP1"))->isChecked());
        QVERIFY(
            window->findChild<BevelPanel*>(QStringLiteral("BtDiscon"))->isVisibleTo(window.get()));
        window->BtDiscon1Click();
        QVERIFY(!window->session().port().IsConnected());
        QVERIFY(window->findChild<QMenu*>(QStringLiteral("ComSetup"))->isEnabled());
        QVERIFY(window->findChild<QAction*>(QStringLiteral("START1"))->isEnabled() &&
                !window->findChild<QAction*>(QStringLiteral("START1"))->isChecked());
        QVERIFY(!window->findChild<QAction*>(QStringLiteral("STOP1"))->isEnabled() &&
                window->findChild<QAction*>(QStringLiteral("STOP1"))->isChecked());
        QVERIFY(window->findChild<BevelPanel*>(QStringLiteral("BTCon"))->isVisibleTo(window.get()));
    }

    void portPanelsDoNothingWhileConnected() {
        connectToPty();
        QTest::mouseClick(window->findChild<BevelPanel*>(QStringLiteral("BtCOM1")), Qt::LeftButton);
        QVERIFY(
            window->findChild<BevelPanel*>(QStringLiteral("BtCOM1"))->isVisibleTo(window.get()));
        QVERIFY(window->findChild<QAction*>(QStringLiteral("COM11"))->isChecked());
        QCOMPARE(window->session().port().ComPort(), pnCOM1);
    }

    void keyPanelsSendShortAndLongCodesForAnyButton_data() {
        QTest::addColumn<QString>("panel");
        QTest::addColumn<int>("button");
        QTest::addColumn<bool>("held");
        QTest::addColumn<int>("code");
        QTest::newRow("Hold short, left") << "BtHold" << int(Qt::LeftButton) << false << 0xA5;
        QTest::newRow("Hold long, left") << "BtHold" << int(Qt::LeftButton) << true << 0xA4;
        QTest::newRow("Hold short, right") << "BtHold" << int(Qt::RightButton) << false << 0xA5;
        QTest::newRow("RANGE long, middle") << "BtRange" << int(Qt::MiddleButton) << true << 0xA0;
        QTest::newRow("AC-DC-Cap short") << "BtSel" << int(Qt::LeftButton) << false << 0xAD;
        QTest::newRow("Peak-Buzzer long") << "BtPeak" << int(Qt::LeftButton) << true << 0xAA;
    }

    void keyPanelsSendShortAndLongCodesForAnyButton() {
        QFETCH(QString, panel);
        QFETCH(int, button);
        QFETCH(bool, held);
        QFETCH(int, code);
        const auto clock = std::make_shared<qint64>(0); // the window outlives this function
        window->setLinkClock([clock] { return *clock; });
        connectToPty();
        quietTimers();
        auto* key = window->findChild<BevelPanel*>(panel);
        QVERIFY(key);
        QTest::mousePress(key, Qt::MouseButton(button));
        QCOMPARE(key->outerBevel(), BevelPanel::Bevel::Raised);
        if (held)
            window->TdownBTimer(); // the long-press timer has run out
        *clock += held ? 1500 : 300;
        QTest::mouseRelease(key, Qt::MouseButton(button));
        QCOMPARE(pty->receive(), QByteArray(1, char(code)));
        QCOMPARE(key->outerBevel(), BevelPanel::Bevel::Lowered);
        QVERIFY(!window->findChild<QTimer*>(QStringLiteral("TdownB"))->isActive());
    }

    // A second button pressed on a held key is the same press: the first release sends the
    // code, the second has no press left to send one for.
    void aSecondButtonOnAHeldKeySendsOneCode() {
        connectToPty();
        quietTimers();
        auto* key = window->findChild<BevelPanel*>(QStringLiteral("BtHold"));
        QTest::mousePress(key, Qt::LeftButton);
        QTest::mousePress(key, Qt::RightButton);
        QTest::mouseRelease(key, Qt::LeftButton);
        QTest::mouseRelease(key, Qt::RightButton);
        QCOMPARE(pty->receive(), QByteArray(1, char(0xA5)));
    }

    void theLongPressTimerCountsFromTheFirstPress() {
        QTest::mousePress(window->findChild<BevelPanel*>(QStringLiteral("BtHold")), Qt::LeftButton);
        QVERIFY(window->findChild<QTimer*>(QStringLiteral("TdownB"))->isActive());
        // A restart stops and starts the timer, and each step notifies its active property; a
        // second press must leave the running timer alone.
        int activeChanges = 0;
        const auto watch = window->findChild<QTimer*>(QStringLiteral("TdownB"))
                               ->bindableActive()
                               .onValueChanged([&activeChanges] { ++activeChanges; });
        QTest::mousePress(window->findChild<BevelPanel*>(QStringLiteral("BtHold")), Qt::LeftButton);
        QVERIFY(window->findChild<QTimer*>(QStringLiteral("TdownB"))->isActive());
        QCOMPARE(activeChanges, 0);
        // The watch itself sees a stop.
        window->TdownBTimer();
        QVERIFY(activeChanges > 0);
    }

    void theWorkedExampleShowsOnTheMirrorAndFillsTheReading() {
        quietTimers();
        const std::uint8_t frame[] = {0x89, 0x70, 0x08, 0x00, 0x00, 0x0F,
                                      0x01, 0x02, 0x03, 0x04, 0x0A};
        window->session().receive(frame, sizeof frame);
        QCOMPARE(window->session().reading().ReadingText, QString("012.34"));
        QCOMPARE(window->session().reading().ReadingValue, 1234.0f);
        QCOMPARE(window->session().reading().UnitText, QString("V"));
        QCOMPARE(window->session().reading().AcDcText, QString("DC"));
        QCOMPARE(window->session().reading().RangeText, QString("AUTO"));
        LcdPanel& lcd = *window->findChild<LcdPanel*>(QStringLiteral("Panel1"));
        QVERIFY(!lcd.isControlVisible(LcdControl::LCDD0));
        QStringList digits;
        for (auto d : {LcdControl::LcdDa, LcdControl::LcdDb, LcdControl::LcdDc, LcdControl::LcdDd})
            digits << lcd.caption(d);
        QCOMPARE(digits, (QStringList{"1", "2", "3", "4"}));
        for (auto lit : {mirrorControl(Annunciator::LcdDc1), mirrorControl(Annunciator::LcdV),
                         mirrorControl(Annunciator::LcdAuto), mirrorControl(Annunciator::LcdP2)})
            QVERIFY2(lcd.isControlVisible(lit), qPrintable(LcdPanel::controlName(lit).toString()));
        for (auto off : {mirrorControl(Annunciator::LcdAC), mirrorControl(Annunciator::LcdP0),
                         mirrorControl(Annunciator::LcdP1), mirrorControl(Annunciator::LcdP3),
                         mirrorControl(Annunciator::LcdFH), mirrorControl(Annunciator::LCDHold)})
            QVERIFY(!lcd.isControlVisible(off));
        QVERIFY(window->findChild<QLabel*>(QStringLiteral("CONok"))->isVisibleTo(window.get()));
        // The first frame counts as a change of unit: the MIN row takes it, MAX stays empty.
        QCOMPARE(window->findChild<QLabel*>(QStringLiteral("MinText"))->text(), QString("012.34"));
        QCOMPARE(window->findChild<QLabel*>(QStringLiteral("MaxText"))->text(), QString());
        QCOMPARE(window->session().peaks().prevUnitText(), QString("V"));
    }

    void barGraphFramesSetTheSignAndTheBar_data() {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QString>("sign");
        QTest::addColumn<int>("position");
        QTest::newRow("negative, empty") << QByteArray::fromHex("8A00000010000A") << "-" << 1;
        QTest::newRow("overload") << QByteArray::fromHex("8A00000008050A") << "+" << 41;
        QTest::newRow("past the end draws full")
            << QByteArray::fromHex("8A000000003F0A") << "+" << 41;
        QTest::newRow("middle") << QByteArray::fromHex("8A000000609A0A") << "+" << 27;
    }

    void barGraphFramesSetTheSignAndTheBar() {
        QFETCH(QByteArray, frame);
        quietTimers();
        window->session().receive(reinterpret_cast<const std::uint8_t*>(frame.constData()),
                                  frame.size());
        QTEST(window->findChild<QLabel*>(QStringLiteral("MltSN"))->text(), "sign");
        QTEST(window->findChild<BarGraphView*>(QStringLiteral("PBar2"))->value(), "position");
    }

    void relAdvancesOnEveryPressEvenWhileDisconnected() {
        for (int expected : {1, 2, 0, 1}) {
            QTest::mousePress(window->findChild<BevelPanel*>(QStringLiteral("BtRel")),
                              Qt::LeftButton);
            QTest::mouseRelease(window->findChild<BevelPanel*>(QStringLiteral("BtRel")),
                                Qt::LeftButton);
            QCOMPARE(window->session().relPressState(), expected);
        }
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
