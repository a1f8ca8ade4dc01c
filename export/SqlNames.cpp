// The names a script gives its tables and columns, in the lower case of their alphabets.

#include "export/SqlNames.h"

#include "export/SqlDialect.h"
#include "framework/Utf8.h"

namespace {

// The lower case of the letters of the alphabets the code pages of tables
// hold: Latin, Greek, Cyrillic.
char32_t Lower(char32_t c)
{
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3AB && c != 0x3A2) ||
        (c >= 0x410 && c <= 0x42F))
        return c + 0x20;
    if (c >= 0x400 && c <= 0x40F)
        return c + 0x50;
    // Latin Extended-A: pairs of capital and small letter.
    const bool evenCapital = (c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177);
    const bool oddCapital = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if ((evenCapital && c % 2 == 0) || (oddCapital && c % 2 == 1))
        return c + 1;
    if (c == 0x178)
        return 0xFF;
    return c;
}

// A name in lower case and without control bytes, which no database takes
// in a name (a NUL among them).
std::string LowerCase(std::string_view utf8)
{
    std::string lower;
    for (size_t at = 0, length = 0; at < utf8.size(); at += length) {
        if (static_cast<unsigned char>(utf8[at]) < 0x20 || utf8[at] == 0x7F) {
            length = 1;
            continue;
        }
        const char32_t c = DecodeUtf8(utf8, at, length);
        // Every capital handled takes one or two bytes, as does its small letter.
        if (c < 0x800 && (length == 2 || c < 0x80))
            AppendUtf8(Lower(c), lower);
        else
            lower.append(utf8.substr(at, length));
    }
    return lower;
}

} // namespace

std::string SqlNames::Fitted(const SqlDialect& dialect, std::string_view utf8)
{
    return dialect.Fitted(LowerCase(utf8));
}

std::string SqlNames::Add(std::string_view utf8, const std::string& fallback)
{
    std::string name = Fitted(m_dialect, utf8);
    if (name.empty())
        name = fallback;
    const std::string stem = name;
    for (int n = 2; !m_used.insert(name).second; ++n) {
        const std::string suffix = "_" + std::to_string(n);
        name = m_dialect.Fitted(stem, suffix.size()) + suffix;
    }
    return name;
}
