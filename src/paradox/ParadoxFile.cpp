#include "ParadoxFile.h"

#include "ParadoxError.h"
#include "RecordStore.h"
#include "TableChain.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

extern "C" {
#include <paradox.h>
}

static_assert(static_cast<int>(FieldType::Alpha) == pxfAlpha);
static_assert(static_cast<int>(FieldType::Long) == pxfLong);
static_assert(static_cast<int>(FieldType::Number) == pxfNumber);
static_assert(static_cast<int>(FieldType::Time) == pxfTime);
static_assert(static_cast<int>(FieldType::Bcd) == pxfBCD);
static_assert(static_cast<int>(FieldType::Bytes) == pxfBytes);

namespace {

constexpr std::size_t kBlockHeaderSize = TableChain::kBlockHeaderSize;
constexpr int kMostBlocks = TableChain::kMostBlocks;
// Offset of the referential-integrity byte, which pxlib leaves uninitialised.
constexpr std::size_t kRefIntegrityOffset = 0x55;

// The header alone, saying the table has no blocks: pxlib takes the fields, code page and
// flags from it and never walks a chain.
std::vector<char> headerOnly(const std::vector<char>& image, const TableChain& chain) {
    std::vector<char> header(image.begin(), image.begin() + chain.headerSize());
    for (const std::size_t at :
         {TableChain::kRecordCountAt, TableChain::kRecordCountAt + 2, TableChain::kNextBlockAt,
          TableChain::kFileBlocksAt, TableChain::kFirstBlockAt, TableChain::kLastBlockAt}) {
        header[at] = 0;
        header[at + 1] = 0;
    }
    return header;
}

} // namespace

// The pxlib document and the in-memory file it works on. It lives on the heap so that the
// address pxlib hands back to the stream hooks stays valid.
struct ParadoxFile::Document {
    std::vector<char> image;
    std::size_t position = 0;
    QString lastError;
    // Reads left before the image reads as ended: pxlib walks the block chain of a table it
    // cannot be shown beforehand (a password-protected one) and would follow a loop for ever.
    std::size_t readsLeft = SIZE_MAX;
    FILE* stream = nullptr;
    pxdoc_t* doc = nullptr;

    Document() {
        doc = PX_new3(&Document::onError, nullptr, nullptr, nullptr, this);
        if (!doc)
            throw ParadoxError(QStringLiteral("Could not set up the Paradox table library."));
        // pxlib wants a FILE to start from; this one reads and writes the image itself.
        stream = fopencookie(this, "w+",
                             cookie_io_functions_t{&Document::cookieRead, &Document::cookieWrite,
                                                   &Document::cookieSeek, nullptr});
        if (!stream) {
            PX_delete(doc);
            throw ParadoxError(QStringLiteral("Could not set up the Paradox table library."));
        }
    }

    ~Document() {
        PX_delete(doc);
        std::fclose(stream);
    }

    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    // Points pxlib's stream at the image directly, past the C library's FILE layer, once
    // whatever the FILE still buffers is in the image and the position is the FILE's own.
    void useDirectHooks() {
        const long logical = std::ftell(stream);
        std::fflush(stream);
        position = static_cast<std::size_t>(std::max(logical, 0L));
        doc->px_stream->read = &Document::hookRead;
        doc->px_stream->write = &Document::hookWrite;
        doc->px_stream->seek = &Document::hookSeek;
        doc->px_stream->tell = &Document::hookTell;
    }

    [[nodiscard]] QString failure(const QString& fallback) const {
        return lastError.isEmpty() ? fallback : lastError;
    }

    std::size_t read(char* buffer, std::size_t size) {
        if (position >= image.size() || readsLeft == 0)
            return 0;
        --readsLeft;
        size = std::min(size, image.size() - position);
        std::memcpy(buffer, image.data() + position, size);
        position += size;
        return size;
    }

    std::size_t write(const char* buffer, std::size_t size) {
        if (position + size > image.size())
            image.resize(position + size);
        std::memcpy(image.data() + position, buffer, size);
        position += size;
        return size;
    }

    int seek(long long offset, int whence) {
        const long long base = whence == SEEK_SET   ? 0
                               : whence == SEEK_CUR ? static_cast<long long>(position)
                                                    : static_cast<long long>(image.size());
        if (base + offset < 0)
            return -1;
        position = static_cast<std::size_t>(base + offset);
        return 0;
    }

    static Document* of(pxdoc_t* doc) {
        return static_cast<Document*>(doc->errorhandler_user_data);
    }

    static void onError(pxdoc_t*, int level, const char* message, void* data) {
        if (level != PX_Warning)
            static_cast<Document*>(data)->lastError = QString::fromUtf8(message).trimmed();
    }

    static ssize_t cookieRead(void* self, char* buffer, size_t size) {
        return static_cast<ssize_t>(static_cast<Document*>(self)->read(buffer, size));
    }
    static ssize_t cookieWrite(void* self, const char* buffer, size_t size) {
        return static_cast<ssize_t>(static_cast<Document*>(self)->write(buffer, size));
    }
    static int cookieSeek(void* self, off64_t* offset, int whence) {
        auto* d = static_cast<Document*>(self);
        if (d->seek(*offset, whence) != 0)
            return -1;
        *offset = static_cast<off64_t>(d->position);
        return 0;
    }

    static size_t hookRead(pxdoc_t* doc, pxstream_t*, size_t size, void* buffer) {
        return of(doc)->read(static_cast<char*>(buffer), size);
    }
    static size_t hookWrite(pxdoc_t* doc, pxstream_t*, size_t size, void* buffer) {
        return of(doc)->write(static_cast<const char*>(buffer), size);
    }
    static int hookSeek(pxdoc_t* doc, pxstream_t*, long offset, int whence) {
        return of(doc)->seek(offset, whence);
    }
    static long hookTell(pxdoc_t* doc, pxstream_t*) { return static_cast<long>(of(doc)->position); }
};

ParadoxFile::ParadoxFile(std::vector<char> image)
    : m_doc(std::make_unique<Document>()),
      m_chain(std::make_unique<TableChain>(TableChain::read(image))) {
    m_doc->image = headerOnly(image, *m_chain);
    openDocument();
    // Blocks of an encrypted table read as noise; a whole chain that agrees with the header
    // means the header's encryption mark is what is damaged.
    if (m_doc->doc->px_head->px_encryption != 0 && m_chain->isWhole())
        m_falseEncryption = true;
    if (isEncrypted()) {
        // Block headers are encrypted too, so only pxlib can follow the chain; it may read each
        // block a few times, and no more.
        m_doc = std::make_unique<Document>();
        m_doc->readsLeft = static_cast<std::size_t>(m_chain->headerSize()) +
                           8 * (static_cast<std::size_t>(m_chain->fileBlocks()) + 16);
        m_doc->image = std::move(image);
        openDocument();
        m_doc->readsLeft = SIZE_MAX;
    } else {
        m_image = std::move(image);
    }

    const pxhead_t* head = m_doc->doc->px_head;
    int total = 0;
    for (int i = 0; i < head->px_numfields; ++i)
        total += head->px_fields[i].px_flen;
    if (total != head->px_recordsize)
        throw ParadoxError(QStringLiteral("The table's field list does not match its record size."),
                           ParadoxCause::Damaged);
}

void ParadoxFile::openDocument() {
    if (PX_open_fp(m_doc->doc, m_doc->stream) < 0 || !m_doc->doc->px_head)
        throw ParadoxError(m_doc->failure(QStringLiteral("The file is not a Paradox table.")),
                           ParadoxCause::Damaged);
    m_doc->useDirectHooks();
}

ParadoxFile::ParadoxFile(const RecordLayout& layout, const QString& tableName,
                         qsizetype recordCount)
    : m_doc(std::make_unique<Document>()) {
    pxdoc_t* doc = m_doc->doc;
    const CodePage& codePage = layout.codePage();
    auto* fields = static_cast<pxfield_t*>(
        doc->malloc(doc, sizeof(pxfield_t) * layout.fieldCount(), "field list"));
    if (!fields)
        throw ParadoxError(QStringLiteral("Out of memory while writing the table."));
    for (int i = 0; i < layout.fieldCount(); ++i) {
        const TableField& f = layout.field(i);
        const QByteArray name = codePage.encode(f.name).value_or(f.name.toLatin1());
        fields[i].px_fname = PX_strdup(doc, name.constData());
        fields[i].px_ftype = static_cast<char>(f.type);
        fields[i].px_flen = f.size;
        fields[i].px_fdc = f.digits;
    }
    if (PX_create_fp(doc, fields, layout.fieldCount(), m_doc->stream, pxfFileTypNonIndexDB) < 0)
        throw ParadoxError(m_doc->failure(QStringLiteral("Could not start a new Paradox table.")));
    m_doc->useDirectHooks();

    // Blocks must be large enough for pxlib to reach every record when reading the table back.
    pxhead_t* head = doc->px_head;
    auto blocksNeeded = [&](int kib) {
        const auto perBlock = static_cast<qsizetype>((kib * 1024 - kBlockHeaderSize) /
                                                     static_cast<std::size_t>(layout.recordSize()));
        return perBlock == 0 ? kMostBlocks + qsizetype{1} : (recordCount + perBlock - 1) / perBlock;
    };
    while (blocksNeeded(head->px_maxtablesize) > kMostBlocks && head->px_maxtablesize < 32)
        head->px_maxtablesize = head->px_maxtablesize < 4 ? 4 : head->px_maxtablesize * 2;
    if (blocksNeeded(head->px_maxtablesize) > kMostBlocks) {
        throw ParadoxError(QStringLiteral("%1 records are more than one Paradox table can hold.")
                               .arg(recordCount));
    }
    head->px_doscodepage = codePage.number();
    const QByteArray name = codePage.encode(tableName).value_or(tableName.toLatin1());
    if (PX_set_parameter(doc, "tablename", name.constData()) < 0)
        throw ParadoxError(m_doc->failure(QStringLiteral("Could not start a new Paradox table.")));
}

ParadoxFile::~ParadoxFile() = default;
ParadoxFile::ParadoxFile(ParadoxFile&&) noexcept = default;
ParadoxFile& ParadoxFile::operator=(ParadoxFile&&) noexcept = default;

RecordLayout ParadoxFile::layout() const {
    const pxhead_t* head = m_doc->doc->px_head;
    const CodePage codePage(head->px_doscodepage);
    std::vector<RecordLayout::FieldDefinition> specs;
    specs.reserve(static_cast<std::size_t>(head->px_numfields));
    for (int i = 0; i < head->px_numfields; ++i) {
        const pxfield_t& f = head->px_fields[i];
        const char* name = f.px_fname ? f.px_fname : "";
        specs.push_back({codePage.decode(name, static_cast<qsizetype>(std::strlen(name))),
                         static_cast<FieldType>(static_cast<unsigned char>(f.px_ftype)), f.px_flen,
                         f.px_fdc});
    }
    return RecordLayout(specs, head->px_doscodepage);
}

bool ParadoxFile::isKeyed() const {
    const pxhead_t* head = m_doc->doc->px_head;
    return head->px_filetype == pxfFileTypIndexDB || head->px_primarykeyfields > 0;
}

bool ParadoxFile::isEncrypted() const {
    return m_doc->doc->px_head->px_encryption != 0 && !m_falseEncryption;
}

void ParadoxFile::readRecords(RecordStore& records) const {
    pxdoc_t* doc = m_doc->doc;
    const pxhead_t* head = doc->px_head;
    const std::size_t recordSize = static_cast<std::size_t>(head->px_recordsize);

    // pxlib decrypts blocks only on its own record-by-record path.
    if (isEncrypted()) {
        std::vector<char> record(recordSize);
        for (int i = 0; i < head->px_numrecords; ++i) {
            if (!PX_get_record(doc, i, record.data()))
                throw ParadoxError(m_doc->failure(QStringLiteral("Could not read the table.")),
                                   ParadoxCause::Damaged);
            records.append(record.data());
        }
        return;
    }
    // The records of a block lie one after another behind its header.
    for (const TableChain::Block& block : m_chain->blocks()) {
        records.append(m_image.data() + m_chain->blockOffset(block.number) + kBlockHeaderSize,
                       block.count);
    }
}

std::vector<char> ParadoxFile::headerBytes() const {
    const std::vector<char>& image = m_image.empty() ? m_doc->image : m_image;
    const auto size = std::min(image.size(), static_cast<std::size_t>(m_chain->headerSize()));
    return {image.begin(), image.begin() + static_cast<std::ptrdiff_t>(size)};
}

QString ParadoxFile::damage() const {
    if (m_falseEncryption)
        return QStringLiteral("its header marks it as password-protected, but its blocks are "
                              "not encrypted");
    // The chain of a password-protected table is pxlib's to read.
    return isEncrypted() ? QString() : m_chain->problem();
}

void ParadoxFile::appendRecord(const char* record) {
    // pxlib takes a non-const pointer but only copies from it.
    if (PX_put_record(m_doc->doc, const_cast<char*>(record)) < 0)
        throw ParadoxError(m_doc->failure(QStringLiteral("Could not write a record.")));
}

std::vector<char> ParadoxFile::finish() {
    std::vector<char>& image = m_doc->image;
    // Closing flushes the last data block and the header into the image.
    PX_close(m_doc->doc);
    if (image.size() > kRefIntegrityOffset)
        image[kRefIntegrityOffset] = 0;
    std::vector<char> bytes = std::move(image);
    m_doc.reset();
    return bytes;
}

std::vector<char> ParadoxFile::build(const RecordLayout& layout, const RecordStore& records,
                                     const QString& tableName) {
    ParadoxFile file(layout, tableName, records.size());
    for (qsizetype i = 0; i < records.size(); ++i)
        file.appendRecord(records.at(i));
    return file.finish();
}
