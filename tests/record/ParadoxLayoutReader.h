#pragma once

// A reader of the Paradox .DB layout written from the published description of the format,
// sharing no code with the program or with pxlib, to show that a written table follows it.
//
//   0x00 u16 record size          0x02 u16 header size      0x04 u8 file type (2: not keyed)
//   0x05 u8 block size in KiB     0x06 u32 number of records
//   0x0C u16 blocks in use        0x0E u16 first block       0x10 u16 last block
//   0x21 u16 number of fields     0x39 u8 file version (0x0C: Paradox 7)
//   0x6A u16 code page            0x78 field list: (type u8, size u8) per field,
//   then a 4-byte pointer, one 4-byte pointer per field, the table name (261 bytes for
//   version 0x0C, else 79) and the field names, each ended by a zero byte.
//   Blocks follow the header, numbered from 1: u16 next block, u16 previous block,
//   s16 (records in block - 1) * record size, then the records.
//   All header numbers are little-endian; values in records are stored big-endian with the
//   sign bit flipped (integers) or so that they sort as bytes (doubles); zero bytes are null.

#include <QByteArray>
#include <QString>

#include <bit>
#include <cstdint>
#include <optional>
#include <vector>

struct LayoutField {
    QByteArray name;
    int type = 0;
    int size = 0;
};

struct ParadoxLayoutReader {
    int recordSize = 0;
    int headerSize = 0;
    int fileType = 0;
    int blockKiB = 0;
    int headerRecordCount = 0;
    int blocksInUse = 0;
    int firstBlock = 0;
    int version = 0;
    int codePage = 0;
    int refIntegrityByte = 0;
    std::vector<LayoutField> fields;
    std::vector<QByteArray> records; // raw, in block-chain order

    static std::optional<ParadoxLayoutReader> parse(const QByteArray& file) {
        if (file.size() < 0x78)
            return std::nullopt;
        ParadoxLayoutReader t;
        t.recordSize = le16(file, 0x00);
        t.headerSize = le16(file, 0x02);
        t.fileType = byte(file, 0x04);
        t.blockKiB = byte(file, 0x05);
        t.headerRecordCount = static_cast<int>(le16(file, 0x06) | le16(file, 0x08) << 16);
        t.blocksInUse = le16(file, 0x0C);
        t.firstBlock = le16(file, 0x0E);
        t.version = byte(file, 0x39);
        t.refIntegrityByte = byte(file, 0x55);
        t.codePage = le16(file, 0x6A);
        const int fieldCount = le16(file, 0x21);
        int at = 0x78;
        for (int i = 0; i < fieldCount; ++i, at += 2)
            t.fields.push_back({{}, byte(file, at), byte(file, at + 1)});
        at += 4 + 4 * fieldCount + (t.version == 0x0C ? 261 : 79);
        for (LayoutField& f : t.fields) {
            const int end = static_cast<int>(file.indexOf('\0', at));
            if (end < 0)
                return std::nullopt;
            f.name = file.mid(at, end - at);
            at = end + 1;
        }
        const qsizetype blockSize = qsizetype{t.blockKiB} * 1024;
        int block = t.firstBlock;
        for (int visited = 0; block != 0 && visited < 65536; ++visited) {
            const qsizetype start = t.headerSize + (block - 1) * blockSize;
            if (start + 6 > file.size())
                return std::nullopt;
            const auto used = static_cast<std::int16_t>(le16(file, start + 4));
            const int count = used < 0 ? 0 : used / t.recordSize + 1;
            for (int r = 0; r < count; ++r)
                t.records.push_back(file.mid(start + 6 + r * t.recordSize, t.recordSize));
            block = le16(file, start);
        }
        return t;
    }

    [[nodiscard]] int offsetOf(const QByteArray& name) const {
        int offset = 0;
        for (const LayoutField& f : fields) {
            if (f.name == name)
                return offset;
            offset += f.size;
        }
        return -1;
    }

    static std::optional<qint32> longAt(const QByteArray& record, int offset) {
        const auto raw = static_cast<std::uint32_t>(be(record, offset, 4));
        if (raw == 0)
            return std::nullopt;
        return static_cast<qint32>(raw ^ 0x80000000u);
    }

    static std::optional<double> doubleAt(const QByteArray& record, int offset) {
        std::uint64_t raw = be(record, offset, 8);
        if (raw == 0)
            return std::nullopt;
        raw = (raw >> 63) ? raw & ~(std::uint64_t{1} << 63) : ~raw;
        return std::bit_cast<double>(raw);
    }

    static QByteArray alphaAt(const QByteArray& record, int offset, int size) {
        const QByteArray bytes = record.mid(offset, size);
        const qsizetype end = bytes.indexOf('\0');
        return end < 0 ? bytes : bytes.left(end);
    }

private:
    static int byte(const QByteArray& b, qsizetype at) { return static_cast<unsigned char>(b[at]); }
    static int le16(const QByteArray& b, qsizetype at) {
        return byte(b, at) | byte(b, at + 1) << 8;
    }
    static std::uint64_t be(const QByteArray& b, int at, int size) {
        std::uint64_t v = 0;
        for (int i = 0; i < size; ++i)
            v = v << 8 | static_cast<unsigned char>(b[at + i]);
        return v;
    }
};
