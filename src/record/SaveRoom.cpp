#include "SaveRoom.h"

#include <QFile>

#include <sys/resource.h>
#include <sys/statvfs.h>

SaveRoom::Allows SaveRoom::allowsNow(const QString& folder) {
    Allows allows;
    struct statvfs disk {};
    if (::statvfs(QFile::encodeName(folder).constData(), &disk) == 0)
        allows.freeBytes = std::uint64_t(disk.f_bavail) * std::uint64_t(disk.f_frsize);
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        allows.fileSizeLimit = std::uint64_t(limit.rlim_cur);
    return allows;
}
