// The sync worker hands outcomes back on its owner's thread without waking it for them.
#include "SyncWorker.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTest>
#include <QTimer>

#include <future>

class SyncWorkerTest : public QObject {
    Q_OBJECT

private slots:
    // A finished piece posts nothing to its owner: its outcome is handed back, in order, when the
    // owner's thread next wakes for anything else.
    void outcomesWaitForTheOwnersNextWake() {
        SyncWorker worker;
        QStringList handedBack;
        std::promise<void> secondStarted;
        std::promise<void> letSecondEnd;
        std::shared_future<void> secondMayEnd = letSecondEnd.get_future().share();
        worker.run([] {}, [&] { handedBack << QStringLiteral("first"); });
        worker.run(
            [&secondStarted, secondMayEnd] {
                secondStarted.set_value();
                secondMayEnd.wait();
            },
            [&] { handedBack << QStringLiteral("second"); });
        // Pieces run in order: the first's outcome waits once the second has started.
        secondStarted.get_future().wait();

        QCoreApplication::sendPostedEvents();
        QVERIFY(handedBack.isEmpty());
        QVERIFY(worker.busy());

        QCoreApplication::processEvents();
        QCOMPARE(handedBack, QStringList{QStringLiteral("first")});

        letSecondEnd.set_value();
        worker.finish();
        QCOMPARE(handedBack, (QStringList{QStringLiteral("first"), QStringLiteral("second")}));
        QVERIFY(!worker.busy());
    }

    // An owner that sleeps with nothing else to wake it still gets its outcome, after a short
    // while.
    void aSleepingOwnerGetsItsOutcomeAfterAShortWhile() {
        SyncWorker worker;
        QEventLoop loop;
        bool handedBack = false;
        worker.run([] {},
                   [&] {
                       handedBack = true;
                       loop.quit();
                   });
        QTimer::singleShot(10 * SyncWorker::kLongestWaitMs, &loop, &QEventLoop::quit);
        loop.exec();
        QVERIFY(handedBack);
        QVERIFY(!worker.busy());
    }
};

QTEST_GUILESS_MAIN(SyncWorkerTest)
#include "tst_syncworker.moc"
