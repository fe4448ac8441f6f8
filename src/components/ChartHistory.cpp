#include "ChartHistory.h"

#include <algorithm>

void ChartHistory::append(qint32 v) {
    const qint64 inChunk = count % kChunk;
    if (inChunk == 0)
        chunks.push_back(std::make_unique<Chunk>());
    Chunk& chunk = *chunks.back();
    chunk.values[std::size_t(inChunk)] = v;
    const auto block = std::size_t(inChunk / kBlock);
    if (inChunk % kBlock == 0) {
        chunk.blockMin[block] = v;
        chunk.blockMax[block] = v;
    } else {
        chunk.blockMin[block] = std::min(chunk.blockMin[block], v);
        chunk.blockMax[block] = std::max(chunk.blockMax[block], v);
    }
    ++count;
}

void ChartHistory::clear() {
    std::vector<std::unique_ptr<Chunk>>().swap(chunks);
    count = 0;
}

qint32 ChartHistory::value(qint64 x) const {
    return chunks[std::size_t(x / kChunk)]->values[std::size_t(x % kChunk)];
}

std::size_t ChartHistory::bytesUsed() const {
    return chunks.capacity() * sizeof(chunks.front()) + chunks.size() * sizeof(Chunk);
}

qint64 ChartHistory::pointsIn(qint64 first, qint64 width) const {
    const qint64 begin = std::clamp<qint64>(first, 0, count);
    const qint64 end = std::clamp<qint64>(first + width, begin, count);
    return end - begin;
}

ChartHistory::Extremes ChartHistory::extremes(qint64 begin, qint64 end) const {
    Extremes e{value(begin), value(begin)};
    qint64 x = begin;
    while (x < end) {
        // Whole runs of 64 come from their summary; only the ragged ends are read point by point.
        if (x % kBlock == 0 && x + kBlock <= end) {
            const Chunk& chunk = *chunks[std::size_t(x / kChunk)];
            const auto block = std::size_t((x % kChunk) / kBlock);
            e.min = std::min(e.min, chunk.blockMin[block]);
            e.max = std::max(e.max, chunk.blockMax[block]);
            x += kBlock;
            continue;
        }
        const qint32 v = value(x++);
        e.min = std::min(e.min, v);
        e.max = std::max(e.max, v);
    }
    return e;
}

QList<QPointF> ChartHistory::span(qint64 first, qint64 width, int columns) const {
    QList<QPointF> points;
    const qint64 begin = std::clamp<qint64>(first, 0, count);
    const qint64 end = std::clamp<qint64>(first + width, begin, count);
    if (end - begin <= std::max(columns, 1)) {
        points.reserve(end - begin);
        for (qint64 x = begin; x < end; ++x)
            points.append(QPointF(double(x), value(x)));
        return points;
    }
    // Columns divide the whole width of the page, so a partly filled page keeps its scale.
    points.reserve(2 * qsizetype(columns));
    for (qint64 c = 0; c < columns; ++c) {
        const qint64 from = std::max(begin, first + c * width / columns);
        const qint64 to = std::min(end, first + (c + 1) * width / columns);
        if (from >= to)
            continue;
        const Extremes e = extremes(from, to);
        const double middle = double(from + to - 1) * 0.5;
        points.append(QPointF(middle, e.min));
        if (e.max != e.min)
            points.append(QPointF(middle, e.max));
    }
    return points;
}
