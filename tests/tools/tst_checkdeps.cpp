#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Check {
    int exitCode = -1;
    QString errors;
};

bool writeFile(const QString& path, const QByteArray& bytes,
               QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() &&
           file.setPermissions(permissions);
}

} // namespace

// tools/check-deps.sh on made-up caches: real package files owned by a listed or an unlisted
// package, and files no package owns.
class TestCheckDeps : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    // Runs the check on a cache of the given lines, with a package list of the given names.
    Check run(const QByteArray& cacheLines, const QByteArray& packages) {
        const QString cache = m_dir.filePath(QStringLiteral("CMakeCache.txt"));
        const QString deps = m_dir.filePath(QStringLiteral("deps.sh"));
        const QByteArray list = "#!/bin/sh\nprintf '%s\\n' " + packages + "\n";
        if (!writeFile(cache, cacheLines) ||
            !writeFile(deps, list, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
            return {};
        QProcess process;
        process.start(qEnvironmentVariable("VELMAR_SOURCE_DIR") + "/tools/check-deps.sh",
                      {QStringLiteral("--deps"), deps, cache});
        if (!process.waitForFinished(60000))
            return {};
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardError())};
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("own/Foo")));
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("own/bar")));
        QVERIFY(writeFile(m_dir.filePath(QStringLiteral("own/Foo/FooConfig.cmake")), "# Foo\n"));
        QVERIFY(writeFile(m_dir.filePath(QStringLiteral("own/bar/bar-config.cmake")), "# bar\n"));
    }

    void ownersOfTheFilesUsedMustBeListed_data() {
        QTest::addColumn<QByteArray>("cache");
        QTest::addColumn<QByteArray>("packages");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("named");

        const QByteArray qtCore = "Qt6Core_DIR:PATH=" VELMAR_QT6CORE_DIR "\n";
        QTest::newRow("config file of a listed package")
            << qtCore << QByteArray("cmake qt6-base-dev") << 0 << QString();
        QTest::newRow("config file of a package left out of the list")
            << qtCore << QByteArray("cmake pxlib-dev") << 1 << QStringLiteral("qt6-base-dev");
        QTest::newRow("pkg-config module of a package left out of the list")
            << QByteArray("PXLIB_MODULE_NAME:INTERNAL=pxlib\n") << QByteArray("qt6-base-dev") << 1
            << QStringLiteral("pxlib-dev");
        QTest::newRow("pkg-config module of a listed package")
            << QByteArray("PXLIB_MODULE_NAME:INTERNAL=pxlib\n") << QByteArray("pxlib-dev") << 0
            << QString();
        QTest::newRow("folders without a config file, and names not found, are no packages")
            << QByteArray("OPENGL_INCLUDE_DIR:PATH=/usr/include\nFoo_DIR:PATH=Foo_DIR-NOTFOUND\n"
                          "PKG_XKB_MODULE_NAME:INTERNAL=\n")
            << QByteArray("cmake") << 0 << QString();
    }

    void ownersOfTheFilesUsedMustBeListed() {
        QFETCH(QByteArray, cache);
        QFETCH(QByteArray, packages);
        QFETCH(int, exitCode);
        QFETCH(QString, named);
        const Check check = run(cache, packages);
        QVERIFY2(check.exitCode == exitCode, qPrintable(check.errors));
        if (!named.isEmpty())
            QVERIFY2(check.errors.contains(named + " (owns "), qPrintable(check.errors));
    }

    // Both spellings of a config file are found; one installed by hand belongs to no package.
    void aConfigFileNoPackageOwnsFails_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("file");
        QTest::newRow("NameConfig.cmake") << "Foo_DIR"
                                          << "own/Foo/FooConfig.cmake";
        QTest::newRow("name-config.cmake") << "bar_DIR"
                                           << "own/bar/bar-config.cmake";
    }

    void aConfigFileNoPackageOwnsFails() {
        QFETCH(QString, entry);
        QFETCH(QString, file);
        const QString folder = QFileInfo(m_dir.filePath(file)).path();
        const Check check = run((entry + ":PATH=" + folder + "\n").toUtf8(), "qt6-base-dev");
        QCOMPARE(check.exitCode, 1);
        QVERIFY2(
            check.errors.contains(m_dir.filePath(file) + " is not installed by any Debian package"),
            qPrintable(check.errors));
    }

    void aCacheThatCannotBeReadIsAnError() {
        QProcess process;
        process.start(qEnvironmentVariable("VELMAR_SOURCE_DIR") + "/tools/check-deps.sh",
                      {m_dir.filePath(QStringLiteral("no-such-cache"))});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 2);
        QVERIFY(process.readAllStandardError().contains("cannot read the CMake cache"));
    }
};

QTEST_GUILESS_MAIN(TestCheckDeps)
#include "tst_checkdeps.moc"
