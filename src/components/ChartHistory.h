#pragma once

#include <QList>
#include <QPointF>
#include <QtGlobal>

#include <array>
#include <memory>
#include <vector>

// Every point of the trend chart for as long as the program runs, kept compactly: a point's X is
// its index, so only its Y is stored, once for both series, with the lowest and highest value of
// each run of 64 points. Storage grows in fixed chunks, so adding a point never copies the
// history, and the points of any stretch come out at a cost that does not grow with the history.
class ChartHistory {
public:
    static constexpr qint64 kBlock = 64;
    static constexpr qint64 kChunk = 4096;

    void append(qint32 value);
    void clear();

    [[nodiscard]] qint64 size() const { return count; }
    [[nodiscard]] qint32 value(qint64 x) const;
    // Memory held for the points, in bytes.
    [[nodiscard]] std::size_t bytesUsed() const;

    // The points with X in first .. first + width - 1 as the view should get them for a plot
    // `columns` pixels wide: every point when they fit, otherwise the lowest and the highest value
    // of each pixel column, placed amid the column's points.
    [[nodiscard]] QList<QPointF> span(qint64 first, qint64 width, int columns) const;

    // The number of points of that stretch that exist.
    [[nodiscard]] qint64 pointsIn(qint64 first, qint64 width) const;

private:
    struct Chunk {
        std::array<qint32, kChunk> values;
        std::array<qint32, kChunk / kBlock> blockMin;
        std::array<qint32, kChunk / kBlock> blockMax;
    };
    struct Extremes {
        qint32 min;
        qint32 max;
    };

    [[nodiscard]] Extremes extremes(qint64 begin, qint64 end) const;

    std::vector<std::unique_ptr<Chunk>> chunks;
    qint64 count = 0;
};
