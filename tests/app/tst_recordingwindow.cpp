#include "NextModalBox.h"
#include "RecordingMessages.h"
#include "WindowTestBench.h"

#include "ReadingsTable.h"
#include "ReadingsTableModel.h"
#include "StatusPlace.h"
#include "TCommPortDriver.h"
#include "TFCOMM.h"
#include "TableError.h"
#include <QWidget>

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

// The three ways a user closes the window: the Exit panel, the "Exit" entry of the menu bar and
// the close button of the window's title bar.
void closeTheWindowBy(QWidget& window, const QString& way) {
    if (way == "panel") {
        QTest::mouseClick(window.findChild<QWidget*>("BtExit"), Qt::LeftButton);
    } else if (way == "menu") {
        auto* bar = window.findChild<QMenuBar*>("MainMenu1");
        const QRect entry = bar->actionGeometry(window.findChild<QAction*>("Exit1"));
        QTest::mouseClick(bar, Qt::LeftButton, {}, entry.center());
    } else {
        window.windowHandle()->close();
    }
}

} // namespace

// The window's recording: start-up with and without a table, storing readings, the Record menu
// and closing with readings not yet saved. Each test runs in a folder of its own.
class RecordingWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<CurrentTempFolder> dir;
    std::shared_ptr<RecordingMessages> messages;
    std::unique_ptr<TFCOMM> window;

    void makeWindow() { window = quietWindow(messages); }

    void frame(std::uint8_t last) { sendReadingFrame(*window, last); }

    QString tablePath() const { return dir->filePath("Velmarbdb.DB"); }

private slots:
    void init() {
        dir = std::make_unique<CurrentTempFolder>();
        QVERIFY(dir->isCurrent());
        messages = std::make_shared<RecordingMessages>();
    }

    void cleanup() {
        window.reset();
        dir.reset();
    }

    void startUpCreatesAnEmptyTableOnAFreshMachine() {
        makeWindow();
        QVERIFY(messages->errors.isEmpty());
        QVERIFY(QFileInfo::exists(tablePath()));
        QVERIFY(window->session().table().isOpen());
        QCOMPARE(window->session().table().recordCount(), 0);
    }

    void aTableHeldElsewhereIsReportedAndStartUpCarriesOn() {
        ReadingsTable other;
        other.setFolder(QDir::currentPath()); // where the window opens its table
        other.openOrCreate();
        makeWindow();
        QCOMPARE(messages->errors.size(), 1);
        QVERIFY(!window->session().table().isOpen());
        // The steps after the table still ran: the model is applied and frames decode.
        QCOMPARE(window->windowTitle(), QString("VelmarD Interface Program _Ver: 1.00"));
        QVERIFY(bool(window->session().port().OnReceiveData()));
        frame(4);
        QCOMPARE(window->session().reading().ReadingText, QString("012.34"));
        QCOMPARE(messages->errors.size(), 1);
    }

    void storedReadingsFillTheGridAndTheLastIsSelected() {
        makeWindow();
        frame(4);
        frame(4); // repeated: not stored
        frame(5);
        frame(6);
        QCOMPARE(window->findChild<ReadingsTableModel*>(QStringLiteral("Data1"))->rowCount(), 3);
        QCOMPARE(window->findChild<QTableView*>(QStringLiteral("DBGrid1"))->currentIndex().row(),
                 2);
        const auto cell = [this](int row, int column) {
            return window->findChild<ReadingsTableModel*>(QStringLiteral("Data1"))
                ->index(row, column)
                .data()
                .toString();
        };
        QCOMPARE(cell(0, 0), QString("1"));
        QCOMPARE(cell(2, 0), QString("3"));
        QCOMPARE(cell(2, 2), QString("DC"));
        QCOMPARE(cell(2, 3), QString("012.36"));
        QCOMPARE(cell(2, 4), QString("V"));
        QCOMPARE(cell(2, 5), QString("AUTO"));
        QVERIFY(QTime::fromString(cell(2, 1), "HH:mm:ss").isValid());
        QCOMPARE(window->session().table().pendingCount(), 3);
    }

    // Record/Save writes the readings and only then says so; a save that fails (the folder went
    // away under the open table) is said as a failure and keeps the readings pending.
    void saveWritesTheReadingsThenSaysSo_data() {
        QTest::addColumn<bool>("folderGone");
        QTest::newRow("saved") << false;
        QTest::newRow("folder gone") << true;
    }

    void saveWritesTheReadingsThenSaysSo() {
        QFETCH(bool, folderGone);
        makeWindow();
        frame(4);
        frame(5);
        if (folderGone) {
            window->session().finishSyncs(); // its journal is in place
            QVERIFY(QDir(dir->path()).removeRecursively());
        }
        window->RecordSaveClick();
        window->session().finishSyncs();
        if (folderGone) {
            QCOMPARE(messages->errors.size(), 1);
            QVERIFY(messages->informations.isEmpty());
            QCOMPARE(window->session().table().pendingCount(), 2);
            return;
        }
        QCOMPARE(messages->informations,
                 QStringList{"Record has saved, it will be there when you enter the application "
                             "next time."});
        QCOMPARE(window->session().table().pendingCount(), 0);
        window.reset();

        ReadingsTable reread;
        reread.setFolder(QDir::currentPath());
        reread.open();
        QCOMPARE(reread.recordCount(), 2);
        reread.first();
        reread.next();
        QCOMPARE(reread.fieldText(u"No"), QString("2"));
        QCOMPARE(reread.fieldText(u"Value"), QString("012.35"));
        QCOMPARE(reread.fieldText(u"nval"), QString("1235"));
    }

    // Cancel (the box's Escape and its own close) keeps the window and every reading; Yes saves
    // and No drops them, whichever way the window was closed.
    void closingWithUnsavedReadingsOffersCancel_data() {
        QTest::addColumn<QString>("way");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("stillOpen");
        QTest::addColumn<int>("savedRecords");
        for (const char* way : {"panel", "menu", "title bar"}) {
            const auto row = [way](const char* answer) -> QTestData& {
                return QTest::addRow("%s, %s", way, answer) << QString(way);
            };
            row("cancel") << int(UserMessages::Answer::Cancel) << true << 0;
            row("yes") << int(UserMessages::Answer::Yes) << false << 2;
            row("no") << int(UserMessages::Answer::No) << false << 0;
        }
    }

    void closingWithUnsavedReadingsOffersCancel() {
        QFETCH(QString, way);
        QFETCH(int, answer);
        QFETCH(bool, stillOpen);
        makeWindow();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        frame(4);
        frame(5);
        messages->threeWayAnswer = UserMessages::Answer(answer);
        messages->answerYes = answer == int(UserMessages::Answer::Yes);
        closeTheWindowBy(*window, way);
        QCOMPARE(messages->questions, QStringList{"Save the recorded readings before closing?"});
        QCOMPARE(window->isVisible(), stillOpen);
        auto* grid = window->findChild<QTableView*>("DBGrid1");
        if (stillOpen) {
            QCOMPARE(grid->model()->rowCount(), 2);
            frame(6); // recording goes on
            QCOMPARE(grid->model()->rowCount(), 3);
        }
        window.reset();
        ReadingsTable reread;
        reread.setFolder(QDir::currentPath());
        reread.open();
        QTEST(int(reread.recordCount()), "savedRecords");
    }

    // The real box, as a user meets it: Escape or the box's own close button is Cancel.
    void escapeOrClosingTheRealBoxKeepsTheWindowAndItsReadings_data() {
        QTest::addColumn<QString>("way");
        QTest::addColumn<bool>("escape");
        for (const char* way : {"panel", "menu", "title bar"}) {
            QTest::addRow("%s, Escape", way) << QString(way) << true;
            QTest::addRow("%s, box closed", way) << QString(way) << false;
        }
    }

    void escapeOrClosingTheRealBoxKeepsTheWindowAndItsReadings() {
        QFETCH(QString, way);
        QFETCH(bool, escape);
        window = std::make_unique<TFCOMM>(); // the real boxes
        for (QTimer* timer : window->findChildren<QTimer*>())
            timer->stop();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        frame(4);
        frame(5);
        QString text;
        QList<QMessageBox::StandardButton> buttons;
        NextModalBox box([&](QWidget* w) {
            auto* question = qobject_cast<QMessageBox*>(w);
            QVERIFY(question);
            text = question->text();
            for (QAbstractButton* b : question->buttons())
                buttons << question->standardButton(b);
            if (escape)
                QTest::keyClick(question, Qt::Key_Escape);
            else
                question->windowHandle()->close();
        });
        closeTheWindowBy(*window, way);
        QVERIFY(box.seen().seen);
        QCOMPARE(text, QString("Save the recorded readings before closing?"));
        QCOMPARE(box.seen().title, window->windowTitle());
        std::sort(buttons.begin(), buttons.end());
        QCOMPARE(buttons, (QList<QMessageBox::StandardButton>{QMessageBox::Yes, QMessageBox::No,
                                                              QMessageBox::Cancel}));
        QVERIFY(window->isVisible());
        QCOMPARE(window->findChild<QTableView*>("DBGrid1")->model()->rowCount(), 2);
        window->hide();
    }

    void closingWithNothingUnsavedAsksNothing() {
        makeWindow();
        window->BtExit1Click();
        QVERIFY(messages->questions.isEmpty());
        QVERIFY(!window->session().table().isOpen());
    }

    void aSaveThatFailsOnExitKeepsTheWindowOpen() {
        makeWindow();
        frame(4);
        window->session().finishSyncs(); // its journal is in place
        QVERIFY(QDir(dir->path()).removeRecursively());
        messages->threeWayAnswer = UserMessages::Answer::Yes;
        window->show();
        window->BtExit1Click();
        QCOMPARE(messages->errors.size(), 1);
        QVERIFY(window->isVisible());
        QVERIFY(window->session().table().isOpen());
        QCOMPARE(window->session().table().pendingCount(), 1);
    }

    void recordNewEmptiesTheTableAndNumbersFromOne() {
        makeWindow();
        frame(4);
        window->RecordSaveClick();
        window->session().finishSyncs();
        frame(5);
        messages->informations.clear();
        window->RecordNewClick();
        QCOMPARE(messages->informations, QStringList{" Record deleted "});
        QCOMPARE(window->findChild<ReadingsTableModel*>(QStringLiteral("Data1"))->rowCount(), 0);
        frame(6);
        QCOMPARE(window->findChild<ReadingsTableModel*>(QStringLiteral("Data1"))
                     ->index(0, 0)
                     .data()
                     .toString(),
                 QString("1"));
        window->RecordNewClick(); // an empty table: the message still shows
        QCOMPARE(messages->informations.size(), 2);
        // A table that cannot be emptied is said in a box, and the grid keeps its rows.
        frame(7);
        QVERIFY(QDir(dir->path()).removeRecursively());
        window->RecordNewClick();
        QCOMPARE(messages->errors.size(), 1);
        QCOMPARE(window->findChild<ReadingsTableModel*>(QStringLiteral("Data1"))->rowCount(), 1);
    }

    void limitItemsCheckThemselvesAndSetTheLimit() {
        makeWindow();
        window->findChild<QAction*>(QStringLiteral("N10001"))->trigger();
        QCOMPARE(window->session().recording().RecordLimit, 1000);
        QVERIFY(window->findChild<QAction*>(QStringLiteral("N10001"))->isChecked());
        QVERIFY(!window->findChild<QAction*>(QStringLiteral("N100001"))->isChecked());
        window->findChild<QAction*>(QStringLiteral("limitess"))->trigger();
        QCOMPARE(window->session().recording().RecordLimit, 10000000);
        QVERIFY(!window->findChild<QAction*>(QStringLiteral("N10001"))->isChecked());
    }

    void theIntervalEditTakesOnlyDigitsRestartsTheWaitAndSaysARefusal() {
        makeWindow();
        window->show();
        window->findChild<QLineEdit*>(QStringLiteral("RecordSITime"))->clear();
        QTest::keyClicks(window->findChild<QLineEdit*>(QStringLiteral("RecordSITime")), "1a-2 3");
        QCOMPARE(window->findChild<QLineEdit*>(QStringLiteral("RecordSITime"))->text(),
                 QString("123"));
        QCOMPARE(window->session().recording().RecordCountdown, 123);
        QTest::keyClick(window->findChild<QLineEdit*>(QStringLiteral("RecordSITime")),
                        Qt::Key_Backspace);
        QCOMPARE(window->session().recording().RecordCountdown, 12);
        // A pasted text that is no whole number is said where it lasts, until corrected.
        window->findChild<QLineEdit*>(QStringLiteral("RecordSITime"))->setText("1.5");
        const QString status = window->statusPlace()->currentText();
        QVERIFY2(status.contains("Recording paused") &&
                     status.contains("'1.5' is not a valid integer value"),
                 qPrintable(status));
        window->findChild<QLineEdit*>(QStringLiteral("RecordSITime"))->setText("0");
        QCOMPARE(window->statusPlace()->currentText(), QString());
        QVERIFY(messages->errors.isEmpty());
    }

    void intervalSamplingWaitsForTheTimer() {
        makeWindow();
        window->findChild<QCheckBox*>(QStringLiteral("RepeatSet"))->setChecked(false);
        window->findChild<QCheckBox*>(QStringLiteral("RecordSI"))->setChecked(true);
        window->findChild<QLineEdit*>(QStringLiteral("RecordSITime"))
            ->setText("2"); // editing restarts the wait
        frame(3);
        QCOMPARE(window->findChild<ReadingsTableModel*>(QStringLiteral("Data1"))->rowCount(), 0);
        window->TrecordTimer();
        window->session().finishSyncs();
        window->TrecordTimer();
        window->session().finishSyncs();
        frame(4);
        frame(5);
        QCOMPARE(window->findChild<ReadingsTableModel*>(QStringLiteral("Data1"))->rowCount(), 1);
        window->TrecordTimer();
        window->session().finishSyncs();
        window->TrecordTimer();
        window->session().finishSyncs();
        frame(6);
        QCOMPARE(window->findChild<ReadingsTableModel*>(QStringLiteral("Data1"))->rowCount(), 2);
    }
};

QTEST_MAIN(RecordingWindowTest)
#include "tst_recordingwindow.moc"
