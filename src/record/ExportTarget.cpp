#include "ExportTarget.h"

#include "FileError.h"
#include "FollowRule.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace {

bool sameFile(const QString& a, const QString& b) {
    struct stat first {};
    struct stat second {};
    if (::stat(QFile::encodeName(a).constData(), &first) != 0 ||
        ::stat(QFile::encodeName(b).constData(), &second) != 0)
        return false;
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

[[noreturn]] void refuse(const QString& why) {
    throw FileError(why.toStdString());
}

} // namespace

ExportTarget ExportTarget::check(const QString& path, const QString& openTablePath) {
    if (path.isEmpty())
        refuse(QStringLiteral("No file name was given."));
    const FollowRule::Resolved resolved =
        FollowRule::resolve(QFile::encodeName(path).toStdString());
    if (!resolved.ok())
        refuse(QString::fromStdString(resolved.refusal));
    ExportTarget target;
    target.m_filePath = QFile::decodeName(QByteArray::fromStdString(resolved.path));

    struct stat st {};
    if (::lstat(QFile::encodeName(target.m_filePath).constData(), &st) != 0)
        return target; // a new file
    if (!openTablePath.isEmpty() && sameFile(target.m_filePath, openTablePath)) {
        refuse(QStringLiteral("'%1' is the table of readings that is open; saving onto "
                              "it would destroy it. Choose another file name.")
                   .arg(path));
    }
    if (S_ISDIR(st.st_mode))
        refuse(QStringLiteral("'%1' is a folder, not a file.").arg(path));
    if (!S_ISREG(st.st_mode))
        refuse(QStringLiteral("'%1' is not a regular file.").arg(path));
    // Permission bits are looked at directly, since access() grants root everything.
    const bool writable = (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0 &&
                          ::access(QFile::encodeName(target.m_filePath).constData(), W_OK) == 0;
    if (!writable) {
        refuse(QStringLiteral("'%1' is write-protected; it was left unchanged.").arg(path));
    }
    target.m_mode = st.st_mode & 07777;
    return target;
}
