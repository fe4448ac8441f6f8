#pragma once

#include "SaveHook.h"

#include <QString>

#include <optional>
#include <vector>

// The readings recorded since the last save, kept also in a small append-only file next to the
// table (".<table file>.pending"), so that a crash or a power cut does not take them. Each entry
// holds the record's own bytes (every field, its number included) and the moment it was
// recorded, closed by a checksum, so that a write cut short by a crash is told from a whole one.
// The header names the table the journal belongs to (its file name and a hash of its fields), so
// that another table's journal is never taken for this one's. The file is synced at least once a
// second while readings come in (and by sync()), and removed once its readings are saved or
// dropped. The table file's format is not touched.
//
// The journal sits beside the user's files, where another user may have planted a link or a FIFO
// at its name: it is opened without following links or blocking and used only when it is a
// regular file of ours; it is replaced through a copy created exclusively under a name no one can
// guess; and it is read entry by entry in bounded memory, a damaged entry skipped and counted.
class CrashJournal {
public:
    struct Entry {
        qint64 recordedMs = 0; // milliseconds since 1970, UTC
        std::vector<char> record;
    };

    // The table a journal belongs to.
    struct Identity {
        QString tableName; // the table's file name, without its folder
        quint64 fieldsHash = 0;
        int recordSize = 0;
    };

    struct Contents {
        int recordSize = 0;
        qint64 baseCount = -1; // records the table held at the first entry; -1 when unknown
        std::vector<Entry> entries;
        qint64 wholeLength = 0; // bytes up to the end of the last whole entry
    };

    // What was found at a journal's name.
    struct Found {
        enum class Kind {
            None,    // no file
            Ours,    // a journal of this table, read whole (a torn last entry aside)
            Damaged, // ours as far as its entries check; it could not be read whole
            Foreign, // a journal of another table
            Refused, // not a regular file of ours (a link, a FIFO, another user's), or unreadable
        };
        Kind kind = Kind::None;
        Contents contents; // Ours and Damaged: the entries whose check holds
        QString damage;    // Damaged: what was wrong; Foreign: whose it is; Refused: why
        qint64 damagedEntries = 0;
    };

    // saveHook is called between a journal's writes and its syncs.
    explicit CrashJournal(SaveHook saveHook = {}) : m_saveHook(std::move(saveHook)) {}
    ~CrashJournal();
    CrashJournal(const CrashJournal&) = delete;
    CrashJournal& operator=(const CrashJournal&) = delete;
    CrashJournal(CrashJournal&& other) noexcept;
    CrashJournal& operator=(CrashJournal&& other) noexcept;

    [[nodiscard]] static QString pathFor(const QString& tablePath);
    // Where the readings recorded during a save are journaled until the save has made the
    // journal's own readings durable in the table: "<journal>.next".
    [[nodiscard]] static QString nextPathFor(const QString& tablePath);
    // The name a journal that could not be used is kept under: "<journal>.<what>-<n>".
    [[nodiscard]] static QString asidePattern(const QString& path, const QString& what);

    // Reads the journal at path, entry by entry, never holding more than its whole entries.
    [[nodiscard]] static Found read(const QString& path, const Identity& identity);
    // Moves the journal at path aside under the first free "<path>.<what>-<n>" without
    // replacing anything; returns the new path, or empty with error set.
    [[nodiscard]] static QString moveAside(const QString& path, const QString& what, int& error);

    // Now: the new file is synced before it takes the journal's name, and the folder after.
    // Later: it takes the name at once, in the kernel though not yet on the disk, and the next
    // sync() or descriptorToSync() makes file and name durable; for a journal that replaces none
    // with readings, so that the thread that records never waits on the disk.
    enum class Durable { Now, Later };
    // Writes a journal holding entries to path in one step (a new file renamed over any old
    // journal of ours) and keeps it open for appending. Returns 0 or the error number; EEXIST
    // when something not ours is at path.
    [[nodiscard]] int create(const QString& path, const Identity& identity, qint64 baseCount,
                             const std::vector<Entry>& entries, Durable durable = Durable::Now);
    // Gives the open journal another name, replacing a journal of ours there; the next sync makes
    // the name durable. Returns 0 or the error number.
    [[nodiscard]] int renameTo(const QString& path);
    // Opens the journal at path for appending after its last whole entry, dropping a torn tail.
    [[nodiscard]] int reopen(const QString& path, const Contents& contents);

    // Returns 0 or the error number; nowMs decides whether it is time to sync.
    [[nodiscard]] int append(qint64 recordedMs, const char* record, qint64 nowMs);
    // Syncs what was appended since the last sync, and the folder when the journal's name is
    // new. Returns 0 or the error number.
    [[nodiscard]] int sync();
    // For an owner that syncs on another thread: append() then never syncs, and
    // descriptorToSync() gives a descriptor of its own (closed by the caller) on which what was
    // appended since the last sync is synced, with folder set when the folder must be synced too
    // (syncFolderOf); -1 when nothing waits to be synced, or on failure (error set).
    void setSyncsElsewhere(bool elsewhere) { m_syncsElsewhere = elsewhere; }
    [[nodiscard]] int descriptorToSync(int& error, bool& folder);
    // Makes the names in the folder that holds path durable; 0 or the error number.
    static int syncFolderOf(const QString& path);
    // Closes and deletes the file, if its name still leads to it.
    void remove();
    // Closes, leaving the file.
    void close();

    [[nodiscard]] bool isOpen() const { return m_fd >= 0; }
    [[nodiscard]] const QString& path() const { return m_path; }

    static constexpr qint64 kSyncIntervalMs = 1000;
    // More entries than any record limit allows: a journal beyond this is not read.
    static constexpr qint64 kMostEntries = 20'000'000;

private:
    int m_fd = -1;
    int m_recordSize = 0;
    QString m_path;
    bool m_dirty = false;
    bool m_folderDirty = false; // the journal's name is not yet durable
    bool m_syncsElsewhere = false;
    qint64 m_lastSyncMs = 0;
    SaveHook m_saveHook;
};
