#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <optional>
#include <unordered_map>

// The single-byte character set (a DOS or Windows code page) in which a Paradox table stores its
// texts and field names. Bytes the code page leaves undefined map to the control character of
// the same number, so that every stored byte survives reading and writing back unchanged.
class CodePage {
public:
    // Texts in a code page the system cannot convert are read as in 1252, the one new tables
    // use; number() still gives the table's own, so that writing the table back keeps it.
    explicit CodePage(int number);

    [[nodiscard]] int number() const { return m_number; }

    [[nodiscard]] QString decode(const char* bytes, qsizetype size) const;

    // Empty when the text holds a character this code page has no byte for.
    [[nodiscard]] std::optional<QByteArray> encode(QStringView text) const;

    static constexpr int kWindowsWestern = 1252;

private:
    int m_number;
    std::array<char16_t, 256> m_toUnicode{};
    std::unordered_map<char16_t, char> m_fromUnicode;
};
