#include "CodePage.h"

#include <iconv.h>

namespace {

// Fills the upper half of the table through iconv; returns false when the system does not know
// the code page at all.
bool fillFromIconv(int number, std::array<char16_t, 256>& table) {
    const QByteArray name = "CP" + QByteArray::number(number);
    iconv_t cd = iconv_open("UTF-16LE", name.constData());
    // NOLINTNEXTLINE(performance-no-int-to-ptr): iconv_open's failure value, as iconv defines it
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    for (int byte = 0x80; byte < 0x100; ++byte) {
        char in = static_cast<char>(byte);
        char out[4] = {};
        char* inPtr = &in;
        char* outPtr = out;
        size_t inLeft = 1;
        size_t outLeft = sizeof out;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        const bool converted =
            iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1);
        if (converted && outLeft == 2)
            table[byte] = static_cast<char16_t>(static_cast<unsigned char>(out[0]) |
                                                static_cast<unsigned char>(out[1]) << 8);
    }
    iconv_close(cd);
    return true;
}

} // namespace

CodePage::CodePage(int number) : m_number(number) {
    for (int byte = 0; byte < 0x100; ++byte)
        m_toUnicode[byte] = static_cast<char16_t>(byte);
    if (!fillFromIconv(number, m_toUnicode))
        fillFromIconv(kWindowsWestern, m_toUnicode);
    for (int byte = 0x80; byte < 0x100; ++byte)
        m_fromUnicode.emplace(m_toUnicode[byte], static_cast<char>(byte));
}

QString CodePage::decode(const char* bytes, qsizetype size) const {
    QString text(size, Qt::Uninitialized);
    QChar* out = text.data();
    for (qsizetype i = 0; i < size; ++i)
        out[i] = QChar(m_toUnicode[static_cast<unsigned char>(bytes[i])]);
    return text;
}

std::optional<QByteArray> CodePage::encode(QStringView text) const {
    QByteArray bytes(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x80) {
            bytes[i] = static_cast<char>(c);
            continue;
        }
        const auto found = m_fromUnicode.find(c);
        if (found == m_fromUnicode.end())
            return std::nullopt;
        bytes[i] = found->second;
    }
    return bytes;
}
