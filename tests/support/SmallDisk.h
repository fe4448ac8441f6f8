#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>

// A small tmpfs mounted for the test's lifetime; mounted() is false where the system does not
// allow mounting, and why() says why.
class SmallDisk {
public:
    SmallDisk(const QString& folder, const char* size) : m_folder(QFile::encodeName(folder)) {
        const QByteArray options = QByteArray("size=") + size;
        if (::mount("velmar-test", m_folder.constData(), "tmpfs", 0, options.constData()) == 0)
            m_mounted = true;
        else
            m_why = QString::fromLocal8Bit(std::strerror(errno));
    }
    ~SmallDisk() {
        if (m_mounted)
            ::umount2(m_folder.constData(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    [[nodiscard]] bool mounted() const { return m_mounted; }
    [[nodiscard]] QString why() const { return m_why; }
    [[nodiscard]] bool remount(bool readOnly) const {
        const unsigned long flags = MS_REMOUNT | (readOnly ? MS_RDONLY : 0);
        return ::mount(nullptr, m_folder.constData(), nullptr, flags, nullptr) == 0;
    }

private:
    QByteArray m_folder;
    bool m_mounted = false;
    QString m_why;
};
