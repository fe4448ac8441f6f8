#include "TerminalText.h"

#include <cstdint>

namespace {

void escapeByte(std::string& out, unsigned char byte) {
    constexpr char kHex[] = "0123456789ABCDEF";
    out += "\\x";
    out += kHex[byte >> 4];
    out += kHex[byte & 0x0F];
}

// The lead bytes of well-formed UTF-8 sequences, with the bits of the lead that belong to the
// character and the smallest character a sequence of that length may hold.
struct SequenceForm {
    unsigned char firstLead, lastLead;
    std::size_t length;
    unsigned char leadBits;
    char32_t least;
};
constexpr SequenceForm kForms[] = {
    {0xC2, 0xDF, 2, 0x1F, 0x80},
    {0xE0, 0xEF, 3, 0x0F, 0x800},
    {0xF0, 0xF4, 4, 0x07, 0x10000},
};

// The length of the well-formed UTF-8 sequence of a printable character starting at i, or 0.
std::size_t printableSequence(std::string_view text, std::size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const SequenceForm* form = nullptr;
    for (const SequenceForm& f : kForms) {
        if (lead >= f.firstLead && lead <= f.lastLead)
            form = &f;
    }
    if (form == nullptr)
        return 0;
    const std::size_t length = form->length;
    char32_t code = lead & form->leadBits;
    if (i + length > text.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80)
            return 0;
        code = code << 6 | (next & 0x3F);
    }
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    const bool c1Control = code < 0xA0;
    if (code < form->least || code > 0x10FFFF || surrogate || c1Control)
        return 0;
    return length;
}

} // namespace

std::string terminalSafe(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte == '\\') {
            out += "\\\\";
            ++i;
        } else if (byte >= 0x20 && byte < 0x7F) {
            out += static_cast<char>(byte);
            ++i;
        } else if (const std::size_t length = printableSequence(text, i); length > 0) {
            out.append(text.substr(i, length));
            i += length;
        } else {
            escapeByte(out, byte);
            ++i;
        }
    }
    return out;
}
