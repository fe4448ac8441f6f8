#include "../support/FileSizeLimit.h"
#include "../support/PtyPair.h"
#include "../support/SmallDisk.h"
#include "../support/TableFiles.h"
#include "../support/WriteCalls.h"
#include "NextModalBox.h"
#include "RecordingMessages.h"
#include "WindowTestBench.h"

#include "BevelPanel.h"
#include "ReadingsTable.h"
#include "ReadingsTableModel.h"
#include "StatusPlace.h"
#include "TFCOMM.h"

#include <QAbstractButton>
#include <QAction>
#include <QDir>
#include <QLocale>
#include <QMessageBox>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <memory>
#include <sys/ioctl.h>
#include <unistd.h>

// Faults of the table of readings as the window meets them: a save that waits for room, a table
// for viewing only, a journal that cannot be written, said in the status place or a box; and the
// readings a crash left, offered over the shown window. What the session decides about each is
// tested in tst_sessiontable.
class TableFaultsWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<CurrentTempFolder> dir;
    std::shared_ptr<RecordingMessages> messages;
    std::unique_ptr<TFCOMM> window;

    void makeWindow() { window = quietWindow(messages); }

    // The window as a user meets it: controls found by their names and driven by their own
    // events, the meter a pseudo-terminal on COM1, timers stopped and ticked by their signal.
    std::unique_ptr<PtyPair> meter;
    int meterDigit = 0;

    template <typename T> T* control(const char* name) const {
        T* found = window->findChild<T*>(QString::fromLatin1(name));
        if (!found)
            qFatal("no control named %s", name);
        return found;
    }
    // The tick's work on the disk is over before the test looks.
    void tick(const char* timer) const {
        QVERIFY(QMetaObject::invokeMethod(control<QTimer>(timer), "timeout"));
        window->session().finishSyncs();
    }
    void makeWindowOnMeter() {
        meter = std::make_unique<PtyPair>();
        QVERIFY(meter->ok());
        qputenv("VELMAR_COM1", meter->slavePath().toLocal8Bit());
        window = std::make_unique<TFCOMM>(messages);
        for (const char* timer : {"Timer1", "ConTimer", "Trecord"})
            control<QTimer>(timer)->stop();
        QTest::mouseClick(control<BevelPanel>("BTCon"), Qt::LeftButton);
        QVERIFY(control<BevelPanel>("BtDiscon")->isVisibleTo(window.get()));
    }
    int gridRows() const { return control<QTableView>("DBGrid1")->model()->rowCount(); }
    QString cell(int row, int column) const {
        const QAbstractItemModel* grid = control<QTableView>("DBGrid1")->model();
        return grid->index(row, column).data().toString();
    }
    QString statusLine() const { return control<StatusPlace>("StatusPlace")->currentText(); }
    // The meter sends `count` readings, each differing from the one before; the port's own poll
    // takes them in. Returns how many rows the grid gained.
    int meterReads(int count) {
        QByteArray bytes;
        for (int i = 0; i < count; ++i, meterDigit = (meterDigit + 1) % 10) {
            const char f[] = {char(0x89),       0x70, 0x08, 0x00, 0x00, 0x0F, 0x01, 0x02, 0x03,
                              char(meterDigit), 0x0A};
            bytes.append(f, sizeof f);
        }
        const int before = gridRows();
        meter->send(bytes);
        if (!meter->waitForSlaveBytes(int(bytes.size())))
            return -1;
        const bool taken = QTest::qWaitFor(
            [this] {
                int waiting = 0;
                return ::ioctl(meter->slave(), FIONREAD, &waiting) == 0 && waiting == 0;
            },
            60'000);
        return taken ? gridRows() - before : -1;
    }

    void frame(std::uint8_t last) { sendReadingFrame(*window, last); }
    void frames(std::uint8_t from, std::uint8_t to) {
        for (std::uint8_t last = from; last <= to; ++last)
            frame(last);
    }

    QString status() const { return window->statusPlace()->currentText(); }
    QString no(int row) const {
        return window->findChild<ReadingsTableModel*>(QStringLiteral("Data1"))
            ->index(row, 0)
            .data()
            .toString();
    }
    void open(const QString& path) {
        messages->chosenPaths << path;
        window->OpenDataFilesClick();
    }
    QString tablePath() const { return QDir::current().filePath("Velmarbdb.DB"); }
    int rows() const {
        return window->findChild<ReadingsTableModel*>(QStringLiteral("Data1"))->rowCount();
    }

private slots:
    void init() {
        dir = std::make_unique<CurrentTempFolder>();
        QVERIFY(dir->isCurrent());
        messages = std::make_shared<RecordingMessages>();
    }

    void cleanup() {
        window.reset();
        meter.reset();
        qunsetenv("VELMAR_COM1");
        if (dir)
            QFile::setPermissions(dir->filePath("Velmarbdb.DB"),
                                  QFile::ReadOwner | QFile::WriteOwner);
        dir.reset();
    }

    // A save that finds no room is said once, and the readings that come while the disk stays
    // full are recorded as pending and shown; the save is tried again each second, and when
    // there is room every one of them is written to the table file.
    void readingsGoOnWhileASaveWaitsForRoom_data() {
        QTest::addColumn<bool>("tmpfs");
        QTest::newRow("small tmpfs") << true;
        QTest::newRow("file-size limit") << false;
    }

    void readingsGoOnWhileASaveWaitsForRoom() {
        QFETCH(bool, tmpfs);
        const QString folder = dir->filePath("small");
        QVERIFY(QDir().mkpath(folder));
        std::unique_ptr<SmallDisk> disk;
        if (tmpfs) {
            disk = std::make_unique<SmallDisk>(folder, "128k");
            if (!disk->mounted())
                QSKIP(qPrintable(QStringLiteral("A small tmpfs cannot be mounted here (%1); the "
                                                "file-size limit row makes the disk full instead.")
                                     .arg(disk->why())));
        }
        QVERIFY(QDir::setCurrent(folder));
        makeWindowOnMeter();
        // Enough readings to need blocks past the file's first page, which a full disk refuses.
        QCOMPARE(meterReads(100), 100);
        const QString filler = QDir(folder).filePath("filler");
        std::unique_ptr<FileSizeLimit> limit;
        if (tmpfs) {
            QFile file(filler);
            QVERIFY(file.open(QIODevice::WriteOnly));
            const QByteArray chunk(4096, 'x');
            while (file.write(chunk) == chunk.size() && file.flush()) {
            }
        } else {
            limit = std::make_unique<FileSizeLimit>(QFileInfo(tablePath()).size());
        }
        control<QAction>("RecordSave1")->trigger();
        window->session().finishSyncs();
        QCOMPARE(messages->errors.size(), 1); // the command's own failure, once
        QVERIFY(messages->informations.isEmpty());
        QVERIFY2(statusLine().contains("disk full"), qPrintable(statusLine()));

        // 41 readings over 21 s of a full disk. A tick whose save could not fit writes nothing
        // onto the full disk (the process's write calls are counted over the ticks alone).
        int during = 0;
        long long writesByTicks = 0;
        for (int second = 0; second < 21; ++second) {
            during += meterReads(second == 0 ? 1 : 2);
            const long long before = writeCalls();
            tick("Trecord");
            writesByTicks += writeCalls() - before;
        }
        QCOMPARE(during, 41);
        QCOMPARE(writesByTicks, 0);
        QCOMPARE(gridRows(), 141);
        QCOMPARE(cell(140, 0), QString("141"));
        QCOMPARE(messages->errors.size(), 1);
        QVERIFY(messages->informations.isEmpty());
        QVERIFY2(!statusLine().contains("Recording paused"), qPrintable(statusLine()));
        QVERIFY2(statusLine().contains("disk full"), qPrintable(statusLine()));

        // Room again: the next tick saves them, and the wait is no longer said.
        limit.reset();
        QFile::remove(filler);
        tick("Trecord");
        QVERIFY2(!statusLine().contains("disk full"), qPrintable(statusLine()));
        QVERIFY2(statusLine().contains("Saved when room returned"), qPrintable(statusLine()));
        QCOMPARE(messages->errors.size(), 1);
        QCOMPARE(meterReads(1), 1); // pending only: closing the window drops it
        window.reset();
        ReadingsTable saved;
        saved.setTableName(tablePath());
        saved.open();
        QCOMPARE(saved.recordCount(), 141);
        QCOMPARE(saved.text(140, saved.fieldIndex(u"No")), QString("141"));
        saved.close();
        QDir::setCurrent(dir->path());
    }

    // Record/Save on a table shown for viewing only saves nothing, and says so and why.
    void saveOnATableForViewingOnlySaysNothingWasSaved_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("why");
        QTest::newRow("primary index") << "primary index"
                                       << "keyed";
        QTest::newRow("no write permission") << "read-only"
                                             << "read-only";
    }

    void saveOnATableForViewingOnlySaysNothingWasSaved() {
        QFETCH(QString, kind);
        QFETCH(QString, why);
        if (kind == "primary index") {
            writeKeyedReadingsTable(tablePath());
        } else {
            writeTable(tablePath(), RecordLayout::readings());
            QVERIFY(QFile::setPermissions(tablePath(), QFile::ReadOwner | QFile::ReadGroup));
        }
        makeWindowOnMeter();
        control<QAction>("RecordSave1")->trigger();
        window->session().finishSyncs();
        QVERIFY2(messages->errors.isEmpty(), qPrintable(messages->errors.join('\n')));
        QCOMPARE(messages->informations.size(), 1);
        const QString said = messages->informations.first();
        QVERIFY2(said.startsWith("Nothing was saved"), qPrintable(said));
        QVERIFY2(said.contains(why), qPrintable(said));
    }

    // Readings a crash left are offered once, over the window once it is shown, in words that
    // suit one reading or many; Yes adopts them and numbering goes on after them, No drops them
    // for good.
    void readingsLeftByACrashAreOfferedOnce_data() {
        QTest::addColumn<bool>("yes");
        QTest::addColumn<int>("left");
        QTest::addColumn<QString>("question");
        const QString date = QLocale().toString(QDate::currentDate(), QLocale::ShortFormat);
        QTest::newRow("yes, many")
            << true << 5
            << QString("5 readings recorded on %1 were not saved. Add them to the table?")
                   .arg(date);
        QTest::newRow("no, many")
            << false << 5
            << QString("5 readings recorded on %1 were not saved. Add them to the table?")
                   .arg(date);
        QTest::newRow("yes, one")
            << true << 1
            << QString("1 reading recorded on %1 was not saved. Add it to the table?").arg(date);
    }

    void readingsLeftByACrashAreOfferedOnce() {
        QFETCH(bool, yes);
        QFETCH(int, left);
        recordAndDie(tablePath(), 1, left);
        const QString journal = dir->filePath(".Velmarbdb.DB.pending");
        QVERIFY(QFileInfo::exists(journal));
        messages->answerYes = yes;
        messages->threeWayAnswer = yes ? UserMessages::Answer::Yes : UserMessages::Answer::No;
        makeWindow();
        QVERIFY2(messages->questions.isEmpty(), "asked before the window was shown");
        window->show();
        QTRY_COMPARE(messages->questions.size(), 1);
        QTEST(messages->questions.first(), "question");
        QVERIFY(messages->errors.isEmpty());
        frame(9);
        const QAbstractItemModel* grid = window->findChild<QTableView*>("DBGrid1")->model();
        if (yes) {
            QCOMPARE(rows(), left + 1);
            QCOMPARE(grid->index(left - 1, 0).data().toString(), QString::number(left));
            QCOMPARE(grid->index(left, 0).data().toString(), QString::number(left + 1));
        } else {
            QCOMPARE(rows(), 1);
            QCOMPARE(grid->index(0, 0).data().toString(), QString("1"));
        }
        // No to the save question on exit drops the readings and their journal alike.
        messages->answerYes = false;
        messages->threeWayAnswer = UserMessages::Answer::No;
        window->BtExit1Click();
        QVERIFY(!QFileInfo::exists(journal));
        window.reset();
        makeWindow();
        window->show();
        QTest::qWait(50);
        QCOMPARE(messages->questions.size(), 2); // only the exit's question came since
        QCOMPARE(rows(), 0);
    }

    // The real box comes over the shown window and carries its title.
    void theCrashQuestionComesOverTheShownWindowWithItsTitle() {
        recordAndDie(tablePath(), 1, 1);
        QString text;
        NextModalBox box([&text](QWidget* w) {
            auto* question = qobject_cast<QMessageBox*>(w);
            QVERIFY(question);
            text = question->text();
            QTest::mouseClick(question->button(QMessageBox::Yes), Qt::LeftButton);
        });
        window = std::make_unique<TFCOMM>(); // the real boxes
        for (QTimer* timer : window->findChildren<QTimer*>())
            timer->stop();
        QTest::qWait(50);
        QVERIFY2(!box.seen().seen, "asked before the window was shown");
        window->show();
        QTRY_VERIFY(box.seen().seen);
        QVERIFY(box.seen().ownerVisible);
        QCOMPARE(box.seen().title, QString("VelmarD Interface Program _Ver: 1.00"));
        QVERIFY2(text.startsWith("1 reading recorded on "), qPrintable(text));
        QTRY_COMPARE(rows(), 1); // adopted
        window->hide();
    }

    // Escape (or the box's own close) on the crash question is no answer: the readings stay in
    // their journal, none is adopted or dropped, and the next start asks about them again.
    void escapeOnTheCrashQuestionKeepsTheReadingsForTheNextStart() {
        recordAndDie(tablePath(), 1, 3);
        const QString journal = dir->filePath(".Velmarbdb.DB.pending");
        NextModalBox box([](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
        window = std::make_unique<TFCOMM>(); // the real boxes
        for (QTimer* timer : window->findChildren<QTimer*>())
            timer->stop();
        window->show();
        QTRY_VERIFY(box.seen().seen);
        QTest::qWait(50);
        QCOMPARE(rows(), 0);
        QVERIFY(QFileInfo::exists(journal));
        window->hide();
        window.reset();
        QVERIFY(QFileInfo::exists(journal));

        messages->answerYes = true;
        messages->threeWayAnswer = UserMessages::Answer::Yes;
        makeWindow();
        window->show();
        QTRY_COMPARE(messages->questions.size(), 1);
        QVERIFY2(messages->questions.first().startsWith("3 readings recorded on "),
                 qPrintable(messages->questions.first()));
        QTRY_COMPARE(rows(), 3);
    }

    // Another table opened from the window is met as the table at start-up is: the readings a
    // crash left beside it are offered once, and the grid shows those adopted. How they are
    // numbered is the session's, tested in tst_sessiontable.
    void readingsLeftBesideAnotherTableAreOfferedOnce() {
        const QString other = dir->filePath("other.DB");
        recordAndDie(other, 1, 5);
        makeWindow();
        QVERIFY(messages->questions.isEmpty());
        messages->answerYes = true;
        messages->threeWayAnswer = UserMessages::Answer::Yes;
        open(other);
        QVERIFY2(messages->errors.isEmpty(), qPrintable(messages->errors.join('\n')));
        QCOMPARE(messages->questions.size(), 1);
        QVERIFY2(messages->questions.first().startsWith("5 readings recorded on "),
                 qPrintable(messages->questions.first()));
        QCOMPARE(rows(), 5);
        frame(9);
        QCOMPARE(rows(), 6);
        QCOMPARE(no(5), QString("6"));
    }

    // A journal that cannot be written is said once in the status place; recording goes on.
    void journalThatCannotBeWrittenIsSaidOnce() {
        QVERIFY(QDir().mkdir(".Velmarbdb.DB.pending")); // a folder where the journal would go
        makeWindow();
        frames(0, 4);
        window->TrecordTimer();
        window->session().finishSyncs();
        QCOMPARE(rows(), 5);
        QVERIFY(messages->errors.isEmpty());
        QVERIFY2(status().contains(".Velmarbdb.DB.pending"), qPrintable(status()));
        QVERIFY(!status().contains("Recording paused"));
    }
};

QTEST_MAIN(TableFaultsWindowTest)
#include "tst_tablefaultswindow.moc"
