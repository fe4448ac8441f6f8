#pragma once

// Another user on the same machine, played by a forked child that gives up root with setresuid,
// and a third user whose file that one tries to have the program overwrite. Only root can play
// them (as CI runs); available() says whether this process can.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace otheruser {

constexpr uid_t kAttacker = 65534; // "nobody" on Debian
constexpr uid_t kVictim = 65533;

inline bool available() {
    return ::geteuid() == 0;
}

// Runs body as the attacker in a child; true when the body returned true.
inline bool runAsAttacker(const std::function<bool()>& body) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setresgid(kAttacker, kAttacker, kAttacker) != 0 ||
            ::setresuid(kAttacker, kAttacker, kAttacker) != 0)
            ::_exit(2);
        ::_exit(body() ? 0 : 1);
    }
    int status = 0;
    return ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The attacker plants a symbolic link at linkPath pointing to target.
inline bool plantLink(const QString& target, const QString& linkPath) {
    return runAsAttacker([&] {
        return ::symlink(QFile::encodeName(target).constData(),
                         QFile::encodeName(linkPath).constData()) == 0;
    });
}

// The attacker plants a FIFO at path.
inline bool plantFifo(const QString& path) {
    return runAsAttacker([&] { return ::mkfifo(QFile::encodeName(path).constData(), 0666) == 0; });
}

// Makes folder a shared folder as /tmp is: world-writable with the sticky bit.
inline bool makeShared(const QString& folder) {
    return ::chmod(QFile::encodeName(folder).constData(), 01777) == 0;
}

// A file of the third user, in a folder the attacker cannot write, holding contents.
inline QString victimFile(const QString& parent, const QByteArray& contents) {
    const QString folder = parent + QStringLiteral("/victim");
    QDir().mkpath(folder);
    ::chmod(QFile::encodeName(folder).constData(), 0755);
    const QString path = folder + QStringLiteral("/precious.txt");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size())
        return {};
    file.close();
    if (::chown(QFile::encodeName(path).constData(), kVictim, kVictim) != 0)
        return {};
    return path;
}

} // namespace otheruser
