#pragma once

#include "SaveHook.h"

#include <QString>

#include <sys/types.h>

#include <span>
#include <vector>

// A table file held open under an exclusive lock for as long as the object lives, so that a
// second program, a second instance of this one, or a second table object in this process that
// opens the same file is refused. A whole new file is written beside it, flushed to disk and
// moved over it in one rename, so that a crash or a full disk at any moment leaves either the
// old file or the new one whole; in-place writes (writeAt) are for callers that order their own
// writes so that every moment reads whole (TableAppend).
class ExclusiveFile {
public:
    enum class Existing { Replace, Keep };
    // Whose copy is written beside the target: the table's own (".<name>.<random>.tmp"), or an
    // export's (".<name>.<random>.export.tmp"), which a later export may remove once no one
    // holds it.
    enum class Copy { Table, Export };

    ExclusiveFile() = default;
    ~ExclusiveFile();
    ExclusiveFile(ExclusiveFile&& other) noexcept;
    ExclusiveFile& operator=(ExclusiveFile&& other) noexcept;
    ExclusiveFile(const ExclusiveFile&) = delete;
    ExclusiveFile& operator=(const ExclusiveFile&) = delete;

    // Opens and locks an existing regular file, for writing too when its permission bits allow
    // it (even root does not write to a file without them) and the system lets us. Throws
    // ParadoxError if the file is missing, unreadable, or locked by someone else.
    [[nodiscard]] static ExclusiveFile open(const QString& path);

    // Writes bytes to a new file beside path and renames it to path; returns it still locked.
    // With Existing::Keep an existing file at path is left alone and an empty object returned.
    // mode gives the new file's permission bits; without it the process's defaults apply.
    // saveHook is called between the steps. Throws ParadoxError (leaving the old file and no
    // temporary behind) if anything fails.
    [[nodiscard]] static ExclusiveFile write(const QString& path, std::span<const char> bytes,
                                             const SaveHook& saveHook,
                                             Existing existing = Existing::Replace,
                                             const mode_t* mode = nullptr, Copy copy = Copy::Table);

    [[nodiscard]] static bool exists(const QString& path);
    // Throws the ParadoxError for a failed write of path with the system's error number.
    [[noreturn]] static void throwWriteError(const QString& path, int error);

    [[nodiscard]] bool isOpen() const { return m_fd >= 0; }
    [[nodiscard]] bool isWritable() const { return m_writable; }
    // Why an open file is not writable: empty when it is or has no write permission bits,
    // otherwise the system's words.
    [[nodiscard]] QString writeRefusal() const { return m_writeRefusal; }
    [[nodiscard]] std::vector<char> readAll(const QString& path) const;
    // In-place changes, for saves that add blocks and then switch to them. Each returns 0 or
    // the error number.
    [[nodiscard]] int writeAt(off_t offset, std::span<const char> bytes) const;
    [[nodiscard]] int syncData() const;
    [[nodiscard]] int truncate(off_t size) const;
    [[nodiscard]] off_t size() const;
    // Whether path still names this file (it was not deleted, moved or replaced meanwhile).
    [[nodiscard]] bool isStillAt(const QString& path) const;
    [[nodiscard]] mode_t permissions() const;
    void close();

private:
    explicit ExclusiveFile(int fd, bool writable = true) : m_fd(fd), m_writable(writable) {}

    int m_fd = -1;
    bool m_writable = false;
    QString m_writeRefusal;
};
