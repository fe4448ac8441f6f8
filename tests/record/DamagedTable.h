#pragma once

// Builds tables of readings through the program and damages their bytes the way a bad sector,
// a cut copy or a stray write would, for tests of how the table layer takes them.

#include "ReadingsTable.h"

#include <QFile>
#include <QString>

#include <functional>
#include <sys/wait.h>
#include <unistd.h>

namespace damaged {

inline ReadingRecord reading(qint32 no) {
    return {no,
            (no * 997) % 86'400'000,
            QStringLiteral("DC"),
            QString::number(no),
            QStringLiteral("mV"),
            QStringLiteral("AUTO"),
            no * 0.5};
}

// A table of readings numbered 1..count, saved at path; a new table has 2 KiB blocks of 45
// records after a 2 KiB header.
inline void writeTable(const QString& path, int count) {
    ReadingsTable table;
    table.setTableName(path);
    table.openOrCreate();
    for (int no = 1; no <= count; ++no)
        table.append(reading(no));
    table.applyUpdates();
}

constexpr int kHeaderSize = 2048;
constexpr int kBlockSize = 2048;
constexpr int kRecordSize = 45;

inline qsizetype blockStart(int block) {
    return kHeaderSize + qsizetype{block - 1} * kBlockSize;
}

inline QByteArray bytesOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void putBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

inline void putLe16(QByteArray& bytes, qsizetype at, int value) {
    bytes[at] = static_cast<char>(value & 0xFF);
    bytes[at + 1] = static_cast<char>((value >> 8) & 0xFF);
}

inline void putLe32(QByteArray& bytes, qsizetype at, qint64 value) {
    putLe16(bytes, at, static_cast<int>(value & 0xFFFF));
    putLe16(bytes, at + 2, static_cast<int>((value >> 16) & 0xFFFF));
}

// Runs body in a child process that an alarm ends after the given seconds; returns the body's
// exit code, or -1 when the alarm (a hang) or any other signal ended it.
inline int runBounded(const std::function<int()>& body, unsigned seconds = 10) {
    const pid_t child = fork();
    if (child == 0) {
        alarm(seconds);
        _exit(body());
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

} // namespace damaged
