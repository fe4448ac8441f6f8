// The queue of unacknowledged messages: order kept across memory and the queue file, the file's
// rules (exclusive, no links, ours alone, removed at the end), what a killed or ended run's file
// gives the next start, damage found by its checks, and a disk that refuses writes.
#include "PublishQueue.h"

#include "../support/FileSizeLimit.h"
#include "../support/OtherUser.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <csignal>
#include <memory>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QueuedMessage numbered(int n) {
    // About the size of a reading's message, so that the queue file grows as it would.
    return {n % 7 == 0 ? QueuedMessage::Kind::Discovery : QueuedMessage::Kind::Reading,
            QByteArray::number(n) + ':' + QByteArray(180, 'x')};
}

int numberOf(const QueuedMessage& m) {
    return m.payload.left(m.payload.indexOf(':')).toInt();
}

// Takes everything out, oldest first, with the kinds checked against numbered().
QList<int> drain(PublishQueue& queue) {
    QList<int> out;
    while (queue.inMemory() > 0) {
        const QueuedMessage& m = queue.at(0);
        const int n = numberOf(m);
        if (m.kind != numbered(n).kind || m.payload != numbered(n).payload)
            return out << -1;
        out << n;
        queue.pop();
    }
    return out;
}

QList<int> upTo(int count, int from = 0) {
    QList<int> n;
    for (int i = from; i < count; ++i)
        n << i;
    return n;
}

const QByteArray kOrigin = QByteArrayLiteral("velmar/bench/reading");

// A queue killed with count messages pushed (four in memory) and the first popped acknowledged,
// its position noted by savePosition() after saved of them.
bool leaveKilledQueue(const QString& spill, int count, const QByteArray& origin = kOrigin,
                      int popped = 0, int saved = -1) {
    const pid_t child = ::fork();
    if (child == 0) {
        auto* queue = new PublishQueue(spill, 4, origin);
        for (int i = 0; i < count; ++i)
            queue->push(numbered(i));
        for (int i = 0; i < popped; ++i) {
            if (i == saved)
                queue->savePosition();
            queue->pop();
        }
        ::raise(SIGKILL);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFSIGNALED(status);
}

// An entry as the queue file holds it.
QByteArray entry(QueuedMessage::Kind kind, const QByteArray& payload) {
    const char k = static_cast<char>(kind);
    QByteArray e(9, '\0');
    qToLittleEndian<quint32>(quint32(payload.size()), e.data());
    qToLittleEndian<quint32>(PublishQueue::crc32(payload.constData(), std::size_t(payload.size()),
                                                 PublishQueue::crc32(&k, 1)),
                             e.data() + 4);
    e[8] = k;
    return e + payload;
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
}

} // namespace

class PublishQueueTest : public QObject {
    Q_OBJECT

private slots:
    void crcIsTheUsualCrc32() {
        QCOMPARE(PublishQueue::crc32("123456789", 9), 0xCBF43926u);
        QCOMPARE(PublishQueue::crc32("", 0), 0u);
    }

    void theSpillFileLivesBesideTheTable() {
        QCOMPARE(PublishQueue::pathFor(QStringLiteral("/data/bench/Velmarbdb.DB")),
                 QStringLiteral("/data/bench/.Velmarbdb.DB.mqtt-queue"));
    }

    void messagesComeOutInOrderAcrossMemoryAndSpillFile() {
        QTemporaryDir dir;
        const QString spill = dir.filePath(QStringLiteral(".t.DB.mqtt-queue"));
        {
            PublishQueue queue(spill, 8);
            for (int i = 0; i < 1000; ++i)
                queue.push(numbered(i));
            QCOMPARE(queue.size(), std::size_t(1000));
            QCOMPARE(queue.inMemory(), std::size_t(8));
            QCOMPARE(queue.spilled(), std::size_t(992));
            QVERIFY(QFileInfo(spill).size() > 992 * 180);
            QCOMPARE(QFileInfo(spill).permissions() & (QFile::ReadOther | QFile::ReadGroup),
                     QFile::Permissions());
            QCOMPARE(drain(queue), upTo(1000));
            QVERIFY(queue.empty());
            QVERIFY(queue.takeNotices().isEmpty());
        }
        QVERIFY2(!QFileInfo::exists(spill), "the queue file outlived its queue");
    }

    void pushesAndPopsInAnyMixKeepTheOrder() {
        QTemporaryDir dir;
        PublishQueue queue(dir.filePath(QStringLiteral("q")), 4);
        QRandomGenerator random(21);
        QList<int> out;
        int next = 0;
        while (next < 3000 || !queue.empty()) {
            if (next < 3000 && (queue.empty() || random.bounded(3) != 0)) {
                queue.push(numbered(next++));
                continue;
            }
            out << numberOf(queue.at(0));
            queue.pop();
            QVERIFY(queue.inMemory() > 0 || queue.empty());
        }
        QCOMPARE(out, upTo(3000));
    }

    void aLinkAtTheSpillPathIsNeitherFollowedNorRemoved() {
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("victim"));
        QFile victim(target);
        QVERIFY(victim.open(QIODevice::WriteOnly));
        victim.write("precious");
        victim.close();
        const QString spill = dir.filePath(QStringLiteral("q"));
        QVERIFY(QFile::link(target, spill));
        {
            PublishQueue queue(spill, 4);
            for (int i = 0; i < 50; ++i)
                queue.push(numbered(i));
            const QStringList notices = queue.takeNotices();
            QCOMPARE(notices.size(), 1); // said once, not at every message
            QVERIFY2(notices.first().contains(QStringLiteral("not ours")),
                     qPrintable(notices.first()));
            QCOMPARE(drain(queue), upTo(50)); // kept in memory instead
        }
        QVERIFY(QFileInfo(spill).isSymLink());
        QVERIFY(victim.open(QIODevice::ReadOnly));
        QCOMPARE(victim.readAll(), QByteArray("precious"));
    }

    // What is not a killed run's file of these messages is never read as one, resent or
    // replaced: one of other messages is moved aside; one that is not ours, or that a running
    // queue holds, is left alone, and the messages stay in memory.
    void aSpillFileNotOfThisRunIsMovedAsideOrLeftAlone_data() {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("said");
        QTest::newRow("another meter's") << "other origin"
                                         << "moved aside as";
        QTest::newRow("not a queue file") << "garbage"
                                          << "moved aside as";
        QTest::newRow("held by a running queue") << "held"
                                                 << "another running logger";
        QTest::newRow("FIFO") << "fifo"
                              << "not a plain file";
        QTest::newRow("hard link") << "hard link"
                                   << "not a plain file";
        QTest::newRow("another user's") << "other user"
                                        << "not a plain file";
    }
    void aSpillFileNotOfThisRunIsMovedAsideOrLeftAlone() {
        QFETCH(QString, what);
        QFETCH(QString, said);
        QTemporaryDir dir;
        const QString spill = dir.filePath(QStringLiteral("q"));
        std::unique_ptr<PublishQueue> running;
        if (what == "other origin") {
            QVERIFY(leaveKilledQueue(spill, 40, "velmar/other/reading"));
        } else if (what == "garbage") {
            QFile f(spill);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("whatever was there");
        } else if (what == "held") {
            running = std::make_unique<PublishQueue>(spill, 4, kOrigin);
            for (int i = 0; i < 10; ++i)
                running->push(numbered(i));
        } else if (what == "fifo") {
            QCOMPARE(::mkfifo(QFile::encodeName(spill).constData(), 0600), 0);
        } else if (what == "other user") {
            if (!otheruser::available())
                QSKIP("only root can give a file to another user");
            QVERIFY(leaveKilledQueue(spill, 40));
            QCOMPARE(::chown(QFile::encodeName(spill).constData(), otheruser::kAttacker,
                             otheruser::kAttacker),
                     0);
        } else {
            QVERIFY(leaveKilledQueue(spill, 40));
            QCOMPARE(::link(QFile::encodeName(spill).constData(),
                            QFile::encodeName(dir.filePath("other-name")).constData()),
                     0);
        }
        const QByteArray before = what == "fifo" ? QByteArray() : readAll(spill);
        {
            PublishQueue queue(spill, 4, kOrigin);
            queue.resumeLeft(); // does not wait on a FIFO
            QVERIFY(queue.empty());
            for (int i = 0; i < 30; ++i)
                queue.push(numbered(i));
            const QStringList notices = queue.takeNotices();
            QCOMPARE(notices.size(), 1);
            QVERIFY2(notices.first().contains(said), qPrintable(notices.first()));
            QCOMPARE(drain(queue), upTo(30));
        }
        if (said == "moved aside as") {
            QCOMPARE(readAll(spill + ".foreign-1"), before);
            QVERIFY(!QFileInfo::exists(spill)); // the new queue file went at the end
        } else if (what != "fifo") {
            QCOMPARE(readAll(spill), before);
        } else {
            QVERIFY(QFileInfo(spill).exists() && !QFileInfo(spill).isFile());
        }
        if (running)
            QCOMPARE(drain(*running), upTo(10));
    }

    // At a clean end what was not taken out is kept in the order the queue hands it out
    // (memory, queue file, then what a full disk refused), never what already went, and the
    // next start takes it first. A kept file that cannot be written, or a name that is not ours,
    // leaves what is on disk as it was and no new file behind.
    void whatIsLeftAtACleanEndIsKeptInOrderForTheNextStart() {
        QTemporaryDir dir;
        const QString spill = dir.filePath(QStringLiteral("q"));
        const auto leave = [](PublishQueue& queue) {
            FileSizeLimit limit(4096); // about twenty messages fit in the queue file
            for (int i = 0; i < 200; ++i)
                queue.push(numbered(i));
            for (int i = 0; i < 10; ++i)
                queue.pop();
            (void)queue.takeNotices();
        };
        {
            PublishQueue queue(spill, 4, kOrigin);
            leave(queue);
            QVERIFY(queue.spilled() > 0 && queue.spilled() < 20);
            const PublishQueue::Kept kept = queue.keepForNextStart();
            QVERIFY(kept.ok);
            QCOMPARE(kept.messages, std::size_t(190));
            QCOMPARE(kept.readings, std::size_t(190 - 27)); // every seventh is a discovery
            QVERIFY(queue.empty());
            QVERIFY(queue.takeNotices().isEmpty());
        }
        {
            PublishQueue next(spill, 4, kOrigin);
            next.resumeLeft();
            next.push(numbered(500));
            QCOMPARE(drain(next), upTo(200, 10) << 500);
            QVERIFY(next.keepForNextStart().ok);
        }
        QVERIFY(!QFileInfo::exists(spill)); // nothing left to keep

        {
            PublishQueue queue(spill, 4, kOrigin);
            leave(queue);
            FileSizeLimit limit(4096);
            QVERIFY(!queue.keepForNextStart().ok);
            const QStringList notices = queue.takeNotices();
            QVERIFY2(notices.size() == 1 && notices.first().contains("cannot keep"),
                     qPrintable(notices.join('\n')));
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"q"});
        {
            // What the file took still comes first, in order.
            PublishQueue next(spill, 4, kOrigin);
            next.resumeLeft();
            const QList<int> out = drain(next);
            QVERIFY(out.size() > 4);
            QCOMPARE(out, upTo(10 + int(out.size()), 10));
        }
        QVERIFY(!QFileInfo::exists(spill));
        QVERIFY(QFile::link(dir.filePath("elsewhere"), spill));
        {
            PublishQueue queue(spill, 4, kOrigin);
            queue.push(numbered(1));
            QVERIFY(!queue.keepForNextStart().ok);
            QVERIFY(queue.takeNotices().join('\n').contains("not ours"));
        }
        QVERIFY(QFileInfo(spill).isSymLink());
        QVERIFY(!QFileInfo::exists(dir.filePath("elsewhere")));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
                 QStringList{"q"});
    }

    // Damage found while the queue runs costs the damaged entry alone.
    void aDamagedEntryIsSaidAndNothingFalseComesOut_data() {
        QTest::addColumn<qint64>("offset"); // from the start of message 5's payload
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("payload byte") << qint64(50) << QByteArray("Z");
        QTest::newRow("size field") << qint64(-9) << QByteArray("\xff\xff\xff\x7f", 4);
        QTest::newRow("kind field") << qint64(-1) << QByteArray("\x09", 1);
    }
    void aDamagedEntryIsSaidAndNothingFalseComesOut() {
        QFETCH(qint64, offset);
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        const QString spill = dir.filePath(QStringLiteral("q"));
        PublishQueue queue(spill, 2);
        for (int i = 0; i < 20; ++i)
            queue.push(numbered(i));
        QFile file(spill);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.seek(file.readAll().indexOf(numbered(5).payload) + offset));
        QVERIFY(file.write(bytes) == bytes.size());
        file.close();
        QList<int> expected = upTo(20);
        expected.removeOne(5);
        QCOMPARE(drain(queue), expected);
        const QStringList notices = queue.takeNotices();
        QCOMPARE(notices.size(), 1);
        QVERIFY2(notices.first().contains(QStringLiteral("1 damaged entry")),
                 qPrintable(notices.first()));
        // The queue goes on working after the damage.
        for (int i = 0; i < 10; ++i)
            queue.push(numbered(i));
        QCOMPARE(drain(queue), upTo(10));
    }

    // Whatever moment kills a run, the next start has every message it queued and did not see
    // acknowledged, in order, then what it queues itself; a repeat is only what was acknowledged
    // after the position was last noted; a damaged entry costs itself alone; an older version's
    // file is taken over, and what a kill left of its clean end is removed.
    void aKilledRunLeavesEveryQueuedMessageForTheNextStart_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("damaged");  // the message whose entry is damaged, or -1
        QTest::addColumn<QString>("left"); // "new": a clean end's leftover; "older": its file
        QTest::addColumn<int>("cut");      // bytes cut off the end
        QTest::addColumn<int>("popped");   // acknowledged before the kill
        QTest::addColumn<int>("saved");    // of which savePosition() noted, or -1
        QTest::addColumn<int>("resent");   // the first the next start sends
        QTest::newRow("all in memory") << 3 << -1 << "" << 0 << 0 << -1 << 0;
        QTest::newRow("over the memory bound") << 40 << -1 << "" << 0 << 0 << -1 << 0;
        QTest::newRow("a damaged entry") << 40 << 10 << "" << 0 << 0 << -1 << 0;
        QTest::newRow("a torn last entry") << 40 << 39 << "" << 50 << 0 << -1 << 0;
        QTest::newRow("a clean end's leftover") << 40 << -1 << "new" << 0 << 0 << -1 << 0;
        QTest::newRow("an older version's file") << 40 << 10 << "older" << 0 << 0 << -1 << 0;
        QTest::newRow("a position noted") << 100 << -1 << "" << 0 << 65 << 60 << 60;
        QTest::newRow("a position noted every 256")
            << 600 << -1 << "" << 0 << 300 << -1 << int(PublishQueue::kPositionEvery);
        // Over a megabyte acknowledged: given back to the disk behind the positions.
        QTest::newRow("a long drain") << 8000 << -1 << "" << 0 << 7000 << -1 << 6912;
        QTest::newRow("all acknowledged") << 40 << -1 << "" << 0 << 40 << -1 << 40;
    }
    void aKilledRunLeavesEveryQueuedMessageForTheNextStart() {
        QFETCH(int, count);
        QFETCH(int, damaged);
        QFETCH(QString, left);
        QFETCH(int, cut);
        QFETCH(int, popped);
        QFETCH(int, saved);
        QFETCH(int, resent);
        QTemporaryDir dir;
        const QString spill = dir.filePath(QStringLiteral("q"));
        if (left == "older") {
            // Its origin, then its messages.
            QFile f(spill);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(entry(QueuedMessage::Kind::Origin, kOrigin));
            for (int i = 0; i < count; ++i)
                f.write(entry(numbered(i).kind, numbered(i).payload));
        } else {
            QVERIFY(leaveKilledQueue(spill, count, kOrigin, popped, saved));
        }
        const QString leftover = spill + QStringLiteral(".0123456789abcdef.new");
        if (left == "new") {
            QFile f(leftover);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(readAll(spill));
        }
        QList<int> expected = upTo(count, resent);
        if (cut > 0) {
            QFile f(spill);
            QVERIFY(f.resize(f.size() - cut));
        } else if (damaged >= 0) {
            QFile f(spill);
            QVERIFY(f.open(QIODevice::ReadWrite));
            const qint64 at = f.readAll().indexOf(numbered(damaged).payload);
            QVERIFY(at > 0 && f.seek(at + 50));
            f.write("Z");
        }
        expected.removeOne(damaged);
        {
            PublishQueue queue(spill, 4, kOrigin);
            queue.resumeLeft();
            QVERIFY(!QFileInfo::exists(leftover));
            for (int i = 100; i < 110; ++i)
                queue.push(numbered(i));
            QCOMPARE(drain(queue), expected + upTo(110, 100));
            const QString notices = queue.takeNotices().join('\n');
            QVERIFY2(notices.contains(QStringLiteral("1 damaged entry")) == (damaged >= 0),
                     qPrintable(notices));
        }
        QVERIFY(!QFileInfo::exists(spill));
        QVERIFY(!QFileInfo::exists(spill + ".older-1"));
    }

    void aDiskThatRefusesWritesKeepsMessagesInMemoryInOrder() {
        QTemporaryDir dir;
        const QString spill = dir.filePath(QStringLiteral("q"));
        QList<int> out;
        {
            FileSizeLimit limit(4096); // about twenty messages fit in the queue file
            // Memory has room for all: each write is tried, the refusal said once.
            PublishQueue queue(spill, 300);
            for (int i = 0; i < 200; ++i)
                queue.push(numbered(i));
            QCOMPARE(queue.size(), std::size_t(200));
            const QStringList notices = queue.takeNotices();
            QCOMPARE(notices.size(), 1);
            QVERIFY2(notices.first().contains(QStringLiteral("cannot write the queue file")),
                     qPrintable(notices.first()));
            QVERIFY(QFileInfo(spill).size() <= 4096);
            out = drain(queue);
        }
        QCOMPARE(out, upTo(200));
    }
};

QTEST_GUILESS_MAIN(PublishQueueTest)
#include "tst_publishqueue.moc"
