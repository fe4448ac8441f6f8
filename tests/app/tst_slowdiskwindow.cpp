#include "CrashJournal.h"
#include "RecordingMessages.h"
#include "WindowTestBench.h"

#include "../support/CountingLine.h"
#include "../support/SlowSync.h"

#include <QFileInfo>
#include <QTest>

#include <memory>

// A disk whose syncs take seconds: the journal's sync, Record/Save and an export wait for it off
// the window's thread, so requests go on being sent, and what is written, and in which order,
// stays as on a quick disk. Every sync made off the main thread is held until the test lets it
// go; a sync on the main thread is counted and not held, so the fault fails rather than hangs.
class SlowDiskWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<CurrentTempFolder> dir;
    std::shared_ptr<RecordingMessages> messages;
    std::unique_ptr<TFCOMM> window;
    int requests = 0;

    void makeConnectedWindow() {
        auto setup = MeterSession::Setup::forProcess();
        setup.line = std::make_unique<CountingLine>(requests);
        setup.environment = [](const QString& variable) {
            return variable == QLatin1String("VELMAR_COM1") ? QStringLiteral("/dev/null")
                                                            : QString();
        };
        window = std::make_unique<TFCOMM>(messages, nullptr, std::move(setup));
        for (const char* timer : {"Timer1", "ConTimer", "Trecord"})
            window->findChild<QTimer*>(QLatin1String(timer))->stop();
        window->BTCon1Click();
        QVERIFY(window->session().inUse());
    }

    // Readings recorded before the disk slows down, their journal in place.
    void recordTwoReadings() {
        sendReadingFrame(*window, 4);
        sendReadingFrame(*window, 5);
        window->session().finishSyncs();
        QVERIFY(QFileInfo(journalPath()).size() > 0);
        SlowSync::reset();
    }

    // Three request ticks while the disk is held: each sends its request.
    void requestsGoOnWhileHeld() {
        const int before = requests;
        for (int i = 0; i < 3; ++i)
            window->Timer1Timer();
        QCOMPARE(requests - before, 3);
    }

    QString tablePath() const { return dir->filePath(QStringLiteral("Velmarbdb.DB")); }
    QString journalPath() const { return CrashJournal::pathFor(tablePath()); }

private slots:
    void init() {
        dir = std::make_unique<CurrentTempFolder>();
        QVERIFY(dir->isCurrent());
        messages = std::make_shared<RecordingMessages>();
        SlowSync::release();
        SlowSync::reset();
    }

    void cleanup() {
        SlowSync::release();
        window.reset();
        dir.reset();
    }

    void theJournalSyncsOffTheWindowThread() {
        makeConnectedWindow();
        recordTwoReadings();
        SlowSync::hold();
        window->TrecordTimer();
        QCOMPARE(SlowSync::mainThreadSyncs(), 0);
        QVERIFY(SlowSync::waitForWaiting(1));
        requestsGoOnWhileHeld();
        // Readings go on being recorded and journaled while the sync waits.
        sendReadingFrame(*window, 6);
        QCOMPARE(window->session().table().pendingCount(), 3);
        SlowSync::release();
        window->session().finishSyncs();
        window->TrecordTimer();
        window->session().finishSyncs();
        QCOMPARE(SlowSync::mainThreadSyncs(), 0);
        QCOMPARE(SlowSync::otherThreadSyncs(), 2);
        QVERIFY(messages->errors.isEmpty());
        const CrashJournal::Found found =
            CrashJournal::read(journalPath(), window->session().table().journalIdentity());
        QCOMPARE(found.contents.entries.size(), std::size_t(3));
    }

    // The table is written and synced before its journal is replaced; readings that come while
    // the save waits are kept and saved by the next save; the user is told once it is done.
    void aSaveWaitsForTheDiskOffTheWindowThread() {
        makeConnectedWindow();
        recordTwoReadings();
        const qint64 journalBefore = QFileInfo(journalPath()).size();
        SlowSync::hold();
        window->RecordSaveClick();
        QCOMPARE(SlowSync::mainThreadSyncs(), 0);
        QVERIFY(SlowSync::waitForWaiting(1));
        requestsGoOnWhileHeld();
        QVERIFY(messages->informations.isEmpty()); // not said to be saved before it is
        QCOMPARE(QFileInfo(journalPath()).size(), journalBefore);
        sendReadingFrame(*window, 6);
        QCOMPARE(window->session().table().recordCount(), 3);
        SlowSync::release();
        QTRY_COMPARE(messages->informations.size(), 1);
        QCOMPARE(SlowSync::mainThreadSyncs(), 0);
        QCOMPARE(window->session().table().pendingCount(), 1);
        QCOMPARE(window->session().table().recordCount(), 3);
        // The reading recorded during the save is in the journal, alone.
        window->session().finishSyncs();
        CrashJournal::Identity identity = window->session().table().journalIdentity();
        const CrashJournal::Found found = CrashJournal::read(journalPath(), identity);
        QCOMPARE(found.kind, CrashJournal::Found::Kind::Ours);
        QCOMPARE(found.contents.entries.size(), std::size_t(1));
        QCOMPARE(found.contents.baseCount, qint64(2));

        window->RecordSaveClick();
        QTRY_COMPARE(messages->informations.size(), 2);
        QCOMPARE(window->session().table().pendingCount(), 0);
        QVERIFY(messages->errors.isEmpty());
    }

    // Exit while a save waits: the window stays until the save is done, then closes without
    // asking, since nothing is left unsaved.
    void exitWaitsForTheSave() {
        makeConnectedWindow();
        window->show();
        recordTwoReadings();
        SlowSync::hold();
        window->RecordSaveClick();
        QCOMPARE(SlowSync::mainThreadSyncs(), 0);
        QVERIFY(SlowSync::waitForWaiting(1));
        window->BtExit1Click();
        QVERIFY(window->isVisible());
        QCOMPARE(SlowSync::mainThreadSyncs(), 0);
        SlowSync::release();
        QTRY_VERIFY(!window->isVisible());
        QVERIFY(messages->questions.isEmpty());
        QCOMPARE(window->session().table().isOpen(), false);
    }

    void anExportWaitsForTheDiskOffTheWindowThread() {
        makeConnectedWindow();
        recordTwoReadings();
        const QString target = dir->filePath(QStringLiteral("copy.txt"));
        messages->chosenPaths << target;
        SlowSync::reset();
        SlowSync::hold();
        window->saveasClick();
        QCOMPARE(SlowSync::mainThreadSyncs(), 0);
        QVERIFY(SlowSync::waitForWaiting(1));
        requestsGoOnWhileHeld();
        QVERIFY(!QFileInfo::exists(target));
        QVERIFY(messages->informations.isEmpty());
        SlowSync::release();
        QTRY_COMPARE(messages->informations.size(), 1);
        QVERIFY(messages->informations.first().contains(target));
        QVERIFY(QFileInfo(target).size() > 0);
        QVERIFY(messages->errors.isEmpty());
    }
};

QTEST_MAIN(SlowDiskWindowTest)
#include "tst_slowdiskwindow.moc"
