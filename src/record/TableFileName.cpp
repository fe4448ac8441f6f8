#include "TableFileName.h"

#include <QFileInfo>

#include <sys/stat.h>

namespace {

// What stands at path, when it is there and is not a regular file.
std::optional<QString> notAFile(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || S_ISREG(st.st_mode))
        return std::nullopt;
    if (S_ISDIR(st.st_mode))
        return QStringLiteral("a folder");
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
        return QStringLiteral("a device");
    if (S_ISFIFO(st.st_mode))
        return QStringLiteral("a FIFO");
    if (S_ISSOCK(st.st_mode))
        return QStringLiteral("a socket");
    return QStringLiteral("not a regular file");
}

} // namespace

namespace TableFileName {

QString withExtension(const QString& name) {
    return QFileInfo(name).fileName().contains(QLatin1Char('.')) ? name
                                                                 : name + QStringLiteral(".DB");
}

std::optional<QString> problem(const QString& name) {
    if (name.isEmpty())
        return QStringLiteral("is empty; expected a table file name");
    if (name.endsWith(u'/'))
        return QStringLiteral("ends in a separator, so it names a folder, not a table file");
    if (const std::optional<QString> what = notAFile(name))
        return QStringLiteral("is %1, not a table file").arg(*what);
    const QString file = withExtension(name);
    if (file == name)
        return std::nullopt;
    if (const std::optional<QString> what = notAFile(file))
        return QStringLiteral("names '%1', which is %2, not a table file").arg(file, *what);
    return std::nullopt;
}

} // namespace TableFileName
