#pragma once

// Tables of readings as a test needs them on disk: holding saved readings, left by a crash with
// readings only in their journal, or written as other software leaves a table (any layout, or
// keyed, which opens for viewing only).

#include "ParadoxFile.h"
#include "ReadingsTable.h"
#include "RecordLayout.h"
#include "RecordStore.h"

#include <QFile>
#include <QTest>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

// The reading numbered no, its value and time of day following from the number.
inline ReadingRecord numberedReading(qint32 no) {
    return {no,
            36'000'000 + no,
            QStringLiteral("DC"),
            QStringLiteral("1.%1").arg(no),
            QStringLiteral("V"),
            QStringLiteral("AUTO"),
            double(no)};
}

// A table of readings at path holding count saved readings.
inline void makeReadingsTable(const QString& path, qint32 count) {
    ReadingsTable table;
    table.setTableName(path);
    table.openOrCreate();
    for (qint32 no = 1; no <= count; ++no)
        table.append(numberedReading(no));
    table.applyUpdates();
}

// In a child: records readings numbered first..last into the table and dies by SIGKILL, leaving
// them in the journal only.
inline void recordAndDie(const QString& path, int first, int last) {
    const pid_t child = fork();
    if (child == 0) {
        ReadingsTable table;
        table.setTableName(path);
        table.openOrCreate();
        for (int no = first; no <= last; ++no)
            table.append(numberedReading(no));
        table.syncJournal();
        ::raise(SIGKILL);
    }
    int status = 0;
    waitpid(child, &status, 0);
}

// An empty table of the given layout, as other software writes it.
inline void writeTable(const QString& path, const RecordLayout& layout) {
    const std::vector<char> image =
        ParadoxFile::build(layout, RecordStore(layout.recordSize()), QStringLiteral("Velmarbdb"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(image.data(), qint64(image.size())), qint64(image.size()));
}

// A table of readings with a primary index: it opens for viewing only.
inline void writeKeyedReadingsTable(const QString& path) {
    writeTable(path, RecordLayout::readings());
    // The header's file type: 0 is a keyed table.
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.seek(4));
    QVERIFY(file.putChar(0));
}
