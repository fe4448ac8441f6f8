#include "CrashJournal.h"
#include "LogOptions.h"
#include "ReadingLogger.h"
#include "SerialBackend.h"

#include "../support/CountingLine.h"
#include "../support/FileSizeLimit.h"
#include "../support/SlowSync.h"
#include "../support/WriteCalls.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// A disk whose syncs take seconds: the logger's journal syncs and its periodic save wait for it
// off the thread that asks the meter, so requests go on, and every reading still reaches the
// table. Syncs made off the main thread are held until the test lets them go; a sync on the main
// thread is counted and not held, so the fault fails rather than hangs.
class SlowDiskLoggerTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<ReadingLogger> logger;
    QStringList said;
    int requests = 0;

    void startLogger() {
        LogOptions options;
        options.port = QStringLiteral("/dev/null");
        options.table = QStringLiteral("Velmarbdb");
        auto setup = MeterSession::Setup::forProcess();
        setup.line = std::make_unique<CountingLine>(requests);
        setup.tableFolder = dir->path();
        logger = std::make_unique<ReadingLogger>(options, nullptr, std::move(setup));
        logger->setOutput([](const std::string&) { return true; });
        logger->setStatus([this](const QString& line) { said << line; });
        QVERIFY(!logger->openPort());
        QVERIFY2(!logger->openTable(), qPrintable(said.join('\n')));
    }

    void sendReading(std::uint8_t last) {
        const std::uint8_t f[] = {0x89, 0x70, 0x08, 0x00, 0x00, 0x0F, 0x01, 0x02, 0x03, last, 0x0A};
        logger->receive(f, sizeof f);
    }

    // Readings recorded and journaled before the disk slows down.
    void recordTwoReadings() {
        sendReading(4);
        sendReading(5);
        logger->recordTick();
        logger->session().finishSyncs();
        QVERIFY(QFileInfo(journalPath()).size() > 0);
        SlowSync::reset();
    }

    void requestsGoOnWhileHeld() {
        const int before = requests;
        for (int i = 0; i < 3; ++i)
            logger->requestTick();
        QCOMPARE(requests - before, 3);
    }

    // The status lines that end with text, without their time stamps.
    qsizetype saidIndex(const QString& text) const {
        for (qsizetype i = 0; i < said.size(); ++i) {
            if (said.at(i).endsWith(text))
                return i;
        }
        return -1;
    }

    QString journalPath() const {
        return CrashJournal::pathFor(dir->filePath(QStringLiteral("Velmarbdb.DB")));
    }

private slots:
    void init() {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        said.clear();
        requests = 0;
        SlowSync::release();
        SlowSync::reset();
    }

    void cleanup() {
        SlowSync::release();
        logger.reset();
        dir.reset();
    }

    void theJournalSyncsOffTheRequestThread() {
        startLogger();
        recordTwoReadings();
        sendReading(6);
        SlowSync::hold();
        logger->recordTick();
        QCOMPARE(SlowSync::mainThreadSyncs(), 0);
        QVERIFY(SlowSync::waitForWaiting(1));
        requestsGoOnWhileHeld();
        sendReading(7);
        QCOMPARE(logger->table().pendingCount(), 4);
        SlowSync::release();
        logger->session().finishSyncs();
        logger->recordTick();
        logger->session().finishSyncs();
        QCOMPARE(SlowSync::mainThreadSyncs(), 0);
        const CrashJournal::Found found =
            CrashJournal::read(journalPath(), logger->session().table().journalIdentity());
        QCOMPARE(found.contents.entries.size(), std::size_t(4));
    }

    // The periodic save waits off the request thread; a reading that comes meanwhile is kept for
    // the next save, and an end while the save waits lets it finish before the last save, in the
    // order a quick disk would say them.
    void aPeriodicSaveWaitsOffTheRequestThreadAndTheEndWaitsForIt() {
        startLogger();
        recordTwoReadings();
        SlowSync::hold();
        logger->saveTick();
        QCOMPARE(SlowSync::mainThreadSyncs(), 0);
        QVERIFY(SlowSync::waitForWaiting(1));
        requestsGoOnWhileHeld();
        QCOMPARE(saidIndex(QStringLiteral("in the table")), -1); // not said before it is so
        sendReading(6);
        QCOMPARE(logger->table().recordCount(), 3);
        logger->saveTick(); // a save already waits: no second one is begun
        SlowSync::release();

        QSignalSpy finished(logger.get(), &ReadingLogger::finished);
        logger->finish(ReadingLogger::kDone, QStringLiteral("SIGTERM"));
        const qsizetype first = saidIndex(QStringLiteral("saved 2 readings, 2 in the table"));
        const qsizetype stopping = saidIndex(QStringLiteral("stopping: SIGTERM"));
        const qsizetype last = saidIndex(QStringLiteral("saved 1 reading, 3 in the table"));
        QVERIFY2(first >= 0 && first < stopping && stopping < last, qPrintable(said.join('\n')));
        QTRY_COMPARE(finished.size(), 1);
        QCOMPARE(finished.first().first().toInt(), int(ReadingLogger::kDone));
        QCOMPARE(SlowSync::mainThreadSyncs() > 0, true); // the last save waits, as it must
        QVERIFY(!QFileInfo::exists(journalPath()));
    }

    // A save refused for want of room is tried again only once it could fit: ticks on a disk that
    // stays full write nothing onto it, and the first tick after room returns saves everything.
    void aFullDiskIsNotWrittenOnUntilTheSaveCouldFit() {
        startLogger();
        for (int i = 0; i < 100; ++i)
            sendReading(std::uint8_t(i % 10));
        logger->recordTick();
        logger->session().finishSyncs();
        const QString table = dir->filePath(QStringLiteral("Velmarbdb.DB"));
        auto limit = std::make_unique<FileSizeLimit>(rlim_t(QFileInfo(table).size()));
        logger->saveTick();
        logger->session().finishSyncs();
        QVERIFY2(saidIndex(QStringLiteral("are saved when there is room")) >= 0,
                 qPrintable(said.join('\n')));

        long long writesByTicks = 0;
        for (int tick = 0; tick < 10; ++tick) {
            const long long before = writeCalls();
            logger->saveTick();
            logger->session().finishSyncs();
            writesByTicks += writeCalls() - before;
        }
        QCOMPARE(writesByTicks, 0);
        QCOMPARE(logger->table().pendingCount(), logger->table().recordCount());

        limit.reset();
        logger->saveTick();
        logger->session().finishSyncs();
        QCOMPARE(logger->table().pendingCount(), 0);
        QVERIFY2(saidIndex(QStringLiteral("there is room again")) >= 0,
                 qPrintable(said.join('\n')));
    }
};

QTEST_MAIN(SlowDiskLoggerTest)
#include "tst_slowdisklogger.moc"
