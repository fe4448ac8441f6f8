#include "TraceList.h"

#include <QByteArray>

#include <algorithm>
#include <cstring>

namespace {

// A line's header: its payload's length, doubled, plus 1 for text; seven bits a byte, the last
// byte without its high bit.
constexpr std::uint8_t kMore = 0x80;

std::size_t headerLength(std::size_t value) {
    std::size_t length = 1;
    while (value >= kMore) {
        value >>= 7;
        ++length;
    }
    return length;
}

void putHeader(std::uint8_t* at, std::size_t value) {
    while (value >= kMore) {
        *at++ = static_cast<std::uint8_t>(value | kMore);
        value >>= 7;
    }
    *at = static_cast<std::uint8_t>(value);
}

// The header's value, and the offset past it.
std::pair<std::size_t, std::size_t> getHeader(const std::vector<std::uint8_t>& data,
                                              std::size_t offset) {
    std::size_t value = 0;
    for (int shift = 0;; shift += 7) {
        const std::uint8_t byte = data[offset++];
        value |= static_cast<std::size_t>(byte & ~kMore) << shift;
        if ((byte & kMore) == 0)
            return {value, offset};
    }
}

int hexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

// A frame's bytes when the line is upper-case hex, two digits a byte, as frames are traced;
// empty otherwise.
QByteArray frameBytes(const QString& line) {
    if (line.isEmpty() || line.size() % 2 != 0)
        return {};
    QByteArray bytes(line.size() / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const int high = hexDigit(line[2 * i].unicode());
        const int low = hexDigit(line[2 * i + 1].unicode());
        if (high < 0 || low < 0)
            return {};
        bytes[i] = static_cast<char>(high * 16 + low);
    }
    return bytes;
}

} // namespace

void TraceList::append(const QString& line) {
    if (m_capacity == 0)
        return;
    QByteArray payload = frameBytes(line);
    const bool text = payload.isEmpty();
    if (text)
        payload = line.toUtf8();
    const auto payloadLength = static_cast<std::size_t>(payload.size());
    const std::size_t header = (payloadLength << 1) | (text ? 1U : 0U);
    const std::size_t length = headerLength(header) + payloadLength;
    if (m_blocks.empty() ||
        m_blocks.back().data.capacity() - m_blocks.back().data.size() < length) {
        Block& block = m_blocks.emplace_back();
        block.data.reserve(std::max(length, kBlockSize));
        m_heap += block.data.capacity() + sizeof(Block);
    }
    std::vector<std::uint8_t>& data = m_blocks.back().data;
    const std::size_t offset = data.size();
    data.resize(offset + length);
    putHeader(data.data() + offset, header);
    if (payloadLength > 0)
        std::memcpy(data.data() + offset + headerLength(header), payload.constData(),
                    payloadLength);
    m_newest = {m_blocks.size() - 1, offset};
    ++m_count;
    while (m_count > 1 && (m_count > m_capacity || m_heap > m_byteCapacity))
        dropOldest();
}

void TraceList::dropOldest() {
    const std::vector<std::uint8_t>& data = m_blocks.front().data;
    const auto [header, payload] = getHeader(data, m_oldestOffset);
    m_oldestOffset = payload + (header >> 1);
    --m_count;
    if (m_oldestOffset < data.size())
        return;
    m_heap -= data.capacity() + sizeof(Block);
    m_blocks.pop_front();
    m_oldestOffset = 0;
    --m_newest.block;
}

QString TraceList::line(std::size_t i) const {
    Place place{0, m_oldestOffset};
    for (; i > 0; --i) {
        const std::vector<std::uint8_t>& data = m_blocks[place.block].data;
        const auto [header, payload] = getHeader(data, place.offset);
        place.offset = payload + (header >> 1);
        if (place.offset == data.size())
            place = {place.block + 1, 0};
    }
    return lineAt(place);
}

QString TraceList::last() const {
    return lineAt(m_newest);
}

QString TraceList::lineAt(Place place) const {
    const std::vector<std::uint8_t>& data = m_blocks[place.block].data;
    const auto [header, payload] = getHeader(data, place.offset);
    const auto* bytes = reinterpret_cast<const char*>(data.data() + payload);
    const auto length = static_cast<qsizetype>(header >> 1);
    if ((header & 1U) != 0)
        return QString::fromUtf8(bytes, length);
    return QString::fromLatin1(QByteArray::fromRawData(bytes, length).toHex().toUpper());
}
