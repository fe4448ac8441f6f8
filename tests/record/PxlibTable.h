#pragma once

// A table read back through pxlib's own record API (PX_open_file, PX_get_record and the
// PX_get_data_* calls), as another program built on pxlib would read it.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringDecoder>
#include <QVariant>

#include <cstring>
#include <stdexcept>
#include <vector>

extern "C" {
#include <paradox.h>
}

struct PxlibField {
    QString name;
    int type = 0;
    int size = 0;
};

struct PxlibTable {
    int fileVersion = 0; // pxlib's numbering: 70 for Paradox 7
    int codePage = 0;
    int recordCount = 0;
    int maxTableSize = 0;
    bool keyed = false;
    std::vector<PxlibField> fields;
    // One QVariant per field: invalid for null, QString for alpha, qlonglong for whole numbers,
    // times (ms) and dates (day numbers), double for numbers.
    std::vector<std::vector<QVariant>> rows;

    [[nodiscard]] int fieldIndex(const QString& name) const {
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
                return static_cast<int>(i);
        }
        return -1;
    }

    // maxRows limits how many records are decoded (pxlib's reader is slow on big tables).
    static PxlibTable read(const QString& path, int maxRows = 100000) {
        pxdoc_t* doc = PX_new();
        if (PX_open_file(doc, QFile::encodeName(path).constData()) < 0) {
            PX_delete(doc);
            throw std::runtime_error("pxlib could not open " + path.toStdString());
        }
        PxlibTable table;
        const pxhead_t* head = doc->px_head;
        table.fileVersion = head->px_fileversion;
        table.codePage = head->px_doscodepage;
        table.recordCount = PX_get_num_records(doc);
        table.maxTableSize = head->px_maxtablesize;
        table.keyed = head->px_filetype == pxfFileTypIndexDB;
        QStringDecoder decoder(table.codePage == 850 ? "IBM850" : "windows-1252");
        for (int i = 0; i < PX_get_num_fields(doc); ++i) {
            const pxfield_t* f = PX_get_field(doc, i);
            table.fields.push_back({decoder(QByteArray(f->px_fname)), f->px_ftype, f->px_flen});
        }
        std::vector<char> record(static_cast<std::size_t>(PX_get_recordsize(doc)));
        for (int r = 0; r < std::min(table.recordCount, maxRows); ++r) {
            if (!PX_get_record(doc, r, record.data())) {
                PX_delete(doc);
                throw std::runtime_error("pxlib could not read a record of " + path.toStdString());
            }
            std::vector<QVariant> row;
            int offset = 0;
            for (const PxlibField& f : table.fields) {
                row.push_back(value(doc, decoder, f, record.data() + offset));
                offset += f.size;
            }
            table.rows.push_back(std::move(row));
        }
        PX_close(doc);
        PX_delete(doc);
        return table;
    }

private:
    static QVariant value(pxdoc_t* doc, QStringDecoder& decoder, const PxlibField& f, char* data) {
        // PX_get_data_long tests for null by reading 8 bytes of a 4-byte copy on 64-bit
        // systems, so null is decided here from the stored bytes.
        bool null = true;
        for (int i = 0; i < f.size; ++i)
            null = null && data[i] == 0;
        if (null)
            return {};
        switch (f.type) {
        case pxfAlpha: {
            char* text = nullptr;
            if (PX_get_data_alpha(doc, data, f.size, &text) <= 0)
                return {};
            const QString decoded = decoder(QByteArray(text));
            doc->free(doc, text);
            return decoded;
        }
        case pxfShort: {
            short value = 0;
            PX_get_data_short(doc, data, f.size, &value);
            return qlonglong{value};
        }
        case pxfLong:
        case pxfAutoInc:
        case pxfTime:
        case pxfDate: {
            long value = 0;
            PX_get_data_long(doc, data, f.size, &value);
            return qlonglong{value};
        }
        case pxfNumber:
        case pxfCurrency:
        case pxfTimestamp: {
            double value = 0;
            PX_get_data_double(doc, data, f.size, &value);
            return value;
        }
        case pxfLogical: {
            char value = 0;
            PX_get_data_byte(doc, data, f.size, &value);
            return qlonglong{value};
        }
        default:
            return {};
        }
    }
};
