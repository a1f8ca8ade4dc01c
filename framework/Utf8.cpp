#include "framework/Utf8.h"

std::size_t Utf8CharacterCount(std::string_view utf8)
{
    std::size_t count = 0;
    for (const char c : utf8)
        count += IsUtf8Start(static_cast<unsigned char>(c));
    return count;
}

// Length of the well-formed UTF-8 character that text starts with, or 0 when
// it is ill-formed; then `bad` counts the bytes that one U+FFFD replaces (the
// longest start of a well-formed character, as Unicode recommends), and `cut`
// says whether the text's end is what cut it short.
std::size_t Utf8Length(std::string_view text, std::size_t& bad, bool& cut)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80)
        return 1;
    // The second byte's range keeps out overlongs, surrogates and code points
    // past U+10FFFF.
    std::size_t length;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        bad = 1;
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i, low = 0x80, high = 0xBF) {
        if (i >= text.size() || byte(i) < low || byte(i) > high) {
            bad = i;
            cut = i >= text.size();
            return 0;
        }
    }
    return length;
}

char32_t DecodeUtf8(std::string_view text, std::size_t at, std::size_t& length)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (at + length > text.size()) {
        length = 1;
        return lead;
    }
    char32_t c = length == 1 ? lead : lead & (0x3F >> (length - 1));
    for (std::size_t i = 1; i < length; ++i)
        c = c << 6 | (byte(at + i) & 0x3Fu);
    return c;
}

void AppendUtf8(char32_t c, std::string& out)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}
