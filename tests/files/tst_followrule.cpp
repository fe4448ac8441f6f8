#include "FollowRule.h"

#include "../support/OtherUser.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

// Where paths lead under the rule for links, compared with where the kernel takes them.
class FollowRuleTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_root; // m_dir's path with its own links resolved

    std::string at(const QString& name) const { return (m_root + '/' + name).toStdString(); }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_root = QDir(m_dir.path()).canonicalPath();
        QVERIFY(QDir().mkpath(m_root + QStringLiteral("/a/b")));
        QVERIFY(QFile::link(m_root + QStringLiteral("/a/b"), m_root + QStringLiteral("/toB")));
        QVERIFY(QFile::link(QStringLiteral("toB"), m_root + QStringLiteral("/relative")));
        QVERIFY(QFile::link(QStringLiteral("loop2"), m_root + QStringLiteral("/loop1")));
        QVERIFY(QFile::link(QStringLiteral("loop1"), m_root + QStringLiteral("/loop2")));
        QVERIFY(QFile::link(QStringLiteral("missing/x"), m_root + QStringLiteral("/dangling")));
    }

    void ownLinksAreFollowedAsTheKernelFollowsThem_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << "a/b/f.txt"
                               << "a/b/f.txt";
        QTest::newRow("dots") << "a/./b/../b/f.txt"
                              << "a/b/f.txt";
        QTest::newRow("absolute link") << "toB/f.txt"
                                       << "a/b/f.txt";
        QTest::newRow("chain of relative links") << "relative/f.txt"
                                                 << "a/b/f.txt";
        QTest::newRow("parent after a link is the target's") << "toB/../f.txt"
                                                             << "a/f.txt";
        QTest::newRow("dangling link leads to its target") << "dangling"
                                                           << "missing/x";
    }

    void ownLinksAreFollowedAsTheKernelFollowsThem() {
        QFETCH(QString, path);
        QFETCH(QString, expected);
        const FollowRule::Resolved resolved = FollowRule::resolve(at(path));
        QVERIFY2(resolved.ok(), resolved.refusal.c_str());
        QCOMPARE(QString::fromStdString(resolved.path), m_root + '/' + expected);
    }

    void relativePathsCountFromTheCurrentFolder() {
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_root + QStringLiteral("/a")));
        const FollowRule::Resolved resolved = FollowRule::resolve("b/f.txt");
        QDir::setCurrent(before);
        QCOMPARE(QString::fromStdString(resolved.path), m_root + QStringLiteral("/a/b/f.txt"));
    }

    void loopsAndEmptyNamesAreRefusedWithAReason() {
        const FollowRule::Resolved loop = FollowRule::resolve(at(QStringLiteral("loop1")));
        QVERIFY(!loop.ok());
        QVERIFY(loop.refusal.find("too many symbolic links") != std::string::npos);
        QVERIFY(!FollowRule::resolve("").ok());
    }

    // Another user's link: refused where it lies, in a shared folder and in the middle of a path
    // alike; the same link is followed when the folder's owner made it.
    void anotherUsersLinkIsRefusedAnywhereInThePath() {
        if (!otheruser::available())
            QSKIP("playing another user needs root (CI runs as root)");
        QVERIFY(::chmod(QFile::encodeName(m_root).constData(), 0755) == 0);
        const QString shared = m_root + QStringLiteral("/shared");
        QVERIFY(QDir().mkpath(shared));
        QVERIFY(otheruser::makeShared(shared));
        QVERIFY(otheruser::plantLink(m_root + QStringLiteral("/a"), shared + QStringLiteral("/x")));
        for (const char* path : {"shared/x", "shared/x/b/f.txt"}) {
            const FollowRule::Resolved resolved =
                FollowRule::resolve(at(QString::fromLatin1(path)));
            QVERIFY(!resolved.ok());
            QVERIFY(resolved.refusal.find("another user") != std::string::npos);
            QVERIFY(resolved.refusal.find("shared/x'") != std::string::npos);
        }
        // The folder's owner (the attacker's own folder) may point anywhere from it.
        const QString theirs = shared + QStringLiteral("/theirs");
        QVERIFY(otheruser::runAsAttacker([&] {
            return QDir().mkdir(theirs) &&
                   ::symlink(QFile::encodeName(m_root + QStringLiteral("/a")).constData(),
                             QFile::encodeName(theirs + QStringLiteral("/y")).constData()) == 0;
        }));
        QVERIFY(FollowRule::resolve(at(QStringLiteral("shared/theirs/y"))).ok());
    }
};

QTEST_GUILESS_MAIN(FollowRuleTest)
#include "tst_followrule.moc"
