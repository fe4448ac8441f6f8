#include "RecordingPause.h"

#include <QTest>

// How long a failure of the table keeps recording waiting, decided by its cause and by what met
// it, and what ends the wait. No window: the window and the logger both follow this rule.
namespace {

using Until = RecordingPause::Until;
using During = RecordingPause::During;

TableProblem problemOf(TableCause cause) {
    return {cause, QStringLiteral("cause %1").arg(static_cast<int>(cause))};
}

// Pauses for the failure as the window and the logger do.
void fail(RecordingPause& pause, TableCause cause, During during) {
    pause.pause(problemOf(cause), RecordingPause::untilFor(cause, during));
}

} // namespace

Q_DECLARE_METATYPE(TableCause)
Q_DECLARE_METATYPE(RecordingPause::During)

class RecordingPauseTest : public QObject {
    Q_OBJECT
private slots:
    // held: readings are not even offered; the other two: whether the pause still lasts after a
    // reading went in, and after a save succeeded.
    void eachFailureIsWaitedOutByWhatCanEndIt_data() {
        QTest::addColumn<TableCause>("cause");
        QTest::addColumn<During>("during");
        QTest::addColumn<bool>("held");
        QTest::addColumn<bool>("lastsPastAReading");
        QTest::addColumn<bool>("lastsPastASave");
        QTest::newRow("a value that does not fit its field")
            << TableCause::ValueDoesNotFit << During::Recording << false << false << true;
        QTest::newRow("a table for viewing only")
            << TableCause::ReadOnly << During::Recording << true << true << true;
        QTest::newRow("a field missing")
            << TableCause::FieldMissing << During::Recording << true << true << true;
        QTest::newRow("no table open")
            << TableCause::NotOpen << During::Recording << true << true << true;
        QTest::newRow("a save that could not write")
            << TableCause::WriteFailed << During::Saving << true << true << false;
        QTest::newRow("a save refused by a read-only table")
            << TableCause::ReadOnly << During::Saving << true << true << false;
        QTest::newRow("a save of unknown failure")
            << TableCause::Other << During::Saving << true << true << false;
        // Room comes back when the user frees some: the readings meanwhile are kept as pending.
        QTest::newRow("a save that found the disk full")
            << TableCause::DiskFull << During::Saving << false << true << false;
    }

    void eachFailureIsWaitedOutByWhatCanEndIt() {
        QFETCH(TableCause, cause);
        QFETCH(During, during);
        QFETCH(bool, held);
        QFETCH(bool, lastsPastAReading);
        QFETCH(bool, lastsPastASave);

        RecordingPause pause;
        fail(pause, cause, during);
        QVERIFY(pause.isPaused());
        QCOMPARE(pause.holdsReadings(), held);
        if (!held)
            pause.resumeAfterReading();
        QCOMPARE(pause.isPaused(), lastsPastAReading);

        RecordingPause saved;
        fail(saved, cause, during);
        saved.resumeAfterSave();
        QCOMPARE(saved.isPaused(), lastsPastASave);

        RecordingPause changed;
        fail(changed, cause, during);
        changed.resume(); // another table, or the table emptied
        QVERIFY(!changed.isPaused());
    }

    // A reading that fails on its own while a save waits for room ends with its own next
    // reading; the save still waits, and readings still go in.
    void aReadingsOwnFailureLeavesTheWaitForRoom() {
        RecordingPause pause;
        fail(pause, TableCause::DiskFull, During::Saving);
        fail(pause, TableCause::ValueDoesNotFit, During::Recording);
        QVERIFY(!pause.holdsReadings());
        pause.resumeAfterReading();
        QVERIFY(pause.isPaused());
        QVERIFY(!pause.holdsReadings());
        pause.resumeAfterSave();
        QVERIFY(!pause.isPaused());
    }

    // The latest save's failure decides, in either order.
    void theLatestSavesFailureDecides() {
        RecordingPause roomThenWrite;
        fail(roomThenWrite, TableCause::DiskFull, During::Saving);
        fail(roomThenWrite, TableCause::WriteFailed, During::Saving);
        QVERIFY(roomThenWrite.holdsReadings());

        RecordingPause writeThenRoom;
        fail(writeThenRoom, TableCause::WriteFailed, During::Saving);
        fail(writeThenRoom, TableCause::DiskFull, During::Saving);
        QVERIFY(writeThenRoom.isPaused());
        QVERIFY(!writeThenRoom.holdsReadings());
    }

    // Said once: the same cause again is nothing new to say, another cause is.
    void aPauseIsNewsOncePerCause() {
        RecordingPause pause;
        QVERIFY(pause.pause(problemOf(TableCause::DiskFull),
                            RecordingPause::untilFor(TableCause::DiskFull, During::Saving)));
        QVERIFY(!pause.pause(problemOf(TableCause::DiskFull),
                             RecordingPause::untilFor(TableCause::DiskFull, During::Saving)));
        QVERIFY(pause.pause(problemOf(TableCause::ValueDoesNotFit), Until::NextReading));
        QVERIFY(!pause.pause(problemOf(TableCause::ValueDoesNotFit), Until::NextReading));
    }
};

QTEST_APPLESS_MAIN(RecordingPauseTest)
#include "tst_recordingpause.moc"
