#pragma once

#include "RecordLayout.h"

#include <QString>

#include <memory>
#include <vector>

class RecordStore;
class TableChain;

// One Paradox table file, read or built whole in memory through pxlib (a pxdoc_t kept for the
// object's lifetime). A file read is checked first (TableChain); pxlib is then shown only its
// header, and the records are taken from the checked chain. pxlib reaches the bytes through
// stream hooks that work on the in-memory image: a file is read from disk in one go and written
// in one go, and the header rewrite that pxlib makes for every record costs a memory copy
// instead of a dozen system calls.
class ParadoxFile {
public:
    // Reads the table whose file bytes are image. Throws ParadoxError if they are not a Paradox
    // table that can be read.
    explicit ParadoxFile(std::vector<char> image);
    // Starts a new table without records; recordCount tells how many will be appended, so that
    // blocks large enough to hold them are chosen. Throws ParadoxError if that many cannot fit.
    ParadoxFile(const RecordLayout& layout, const QString& tableName, qsizetype recordCount);
    ~ParadoxFile();
    ParadoxFile(ParadoxFile&&) noexcept;
    ParadoxFile& operator=(ParadoxFile&&) noexcept;

    [[nodiscard]] RecordLayout layout() const;
    // A keyed table has a primary index that appended records would have to be sorted into.
    [[nodiscard]] bool isKeyed() const;
    [[nodiscard]] bool isEncrypted() const;

    // Appends every readable record, in table order, to records (which has this table's
    // record size).
    void readRecords(RecordStore& records) const;
    // Empty when every record could be read; otherwise what is wrong with the file, as a clause.
    [[nodiscard]] QString damage() const;
    // The block chain of a table that was read (not of one being built).
    [[nodiscard]] const TableChain& chain() const { return *m_chain; }
    // The header's bytes as the file holds them.
    [[nodiscard]] std::vector<char> headerBytes() const;

    void appendRecord(const char* record);
    // Completes the header and hands over the bytes of the whole file; the object is spent.
    [[nodiscard]] std::vector<char> finish();

    // The bytes of a new table file holding the given records.
    [[nodiscard]] static std::vector<char>
    build(const RecordLayout& layout, const RecordStore& records, const QString& tableName);

private:
    struct Document;
    void openDocument();

    std::unique_ptr<Document> m_doc;
    std::unique_ptr<TableChain> m_chain;
    std::vector<char> m_image; // the file read, unless pxlib holds it
    bool m_falseEncryption = false;
};
