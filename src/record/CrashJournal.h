#pragma once

#include <QString>

#include <optional>
#include <vector>

// The readings recorded since the last save, kept also in a small append-only file next to the
// table (".<table file>.pending"), so that a crash or a power cut does not take them. Each entry
// holds the record's own bytes (every field, its number included) and the moment it was
// recorded, closed by a checksum, so that a write cut short by a crash is told from a whole one.
// The file is synced at least once a second while readings come in (and by sync()), and removed
// once its readings are saved or dropped. The table file's format is not touched.
class CrashJournal {
public:
    struct Entry {
        qint64 recordedMs = 0; // milliseconds since 1970, UTC
        std::vector<char> record;
    };

    struct Contents {
        int recordSize = 0;
        qint64 baseCount = 0; // records the table held when the first entry was written
        std::vector<Entry> entries;
        qint64 wholeLength = 0; // bytes up to the end of the last whole entry
    };

    CrashJournal() = default;
    ~CrashJournal();
    CrashJournal(const CrashJournal&) = delete;
    CrashJournal& operator=(const CrashJournal&) = delete;
    CrashJournal(CrashJournal&& other) noexcept;
    CrashJournal& operator=(CrashJournal&& other) noexcept;

    [[nodiscard]] static QString pathFor(const QString& tablePath);

    // The journal at path; nothing when there is no file. Throws TableError when the file is
    // not a journal of records of recordSize bytes, or cannot be read.
    [[nodiscard]] static std::optional<Contents> read(const QString& path, int recordSize);

    // Writes a journal holding entries to path in one step (a new file synced and renamed over
    // any old one) and keeps it open for appending. Returns 0 or the error number.
    [[nodiscard]] int create(const QString& path, int recordSize, qint64 baseCount,
                             const std::vector<Entry>& entries);
    // Opens the journal at path for appending after its last whole entry, dropping a torn tail.
    [[nodiscard]] int reopen(const QString& path, const Contents& contents);

    // Returns 0 or the error number; nowMs decides whether it is time to sync.
    [[nodiscard]] int append(qint64 recordedMs, const char* record, qint64 nowMs);
    // Syncs what was appended since the last sync. Returns 0 or the error number.
    [[nodiscard]] int sync();
    // Closes and deletes the file.
    void remove();
    // Closes, leaving the file.
    void close();

    [[nodiscard]] bool isOpen() const { return m_fd >= 0; }
    [[nodiscard]] const QString& path() const { return m_path; }

    static constexpr qint64 kSyncIntervalMs = 1000;

private:
    int m_fd = -1;
    int m_recordSize = 0;
    QString m_path;
    bool m_dirty = false;
    qint64 m_lastSyncMs = 0;
};
