// The byte tables of a script's texts, made once for a table from its dialect and code page.

#include "export/SqlByteForms.h"

#include "export/SqlDialect.h"
#include "framework/CodePage.h"
#include "framework/Utf8.h"

#include <algorithm>
#include <string>
#include <vector>

std::unique_ptr<SqlByteForms> SqlByteForms::Make(const SqlDialect& dialect, const CodePageConverter* converter,
                                                 bool hex)
{
    // Each byte of a text's UTF-8 as the dialect writes it, or in
    // hexadecimal; a NUL the database does not hold becomes U+FFFD.
    const bool nul = !dialect.HoldsNul();
    const auto escaped = [&](unsigned char c) -> std::string {
        if (c == 0 && nul)
            return hex ? "efbfbd" : std::string(kReplacementCharacter);
        if (hex)
            return { kSqlHexDigits[c >> 4], kSqlHexDigits[c & 15] };
        return c < 0x80 ? dialect.EscapedByte(static_cast<char>(c)) : std::string(1, static_cast<char>(c));
    };
    auto forms = std::make_unique<SqlByteForms>();
    std::vector<std::uint64_t> specials;
    for (unsigned b = 0; b < 256; ++b) {
        const char one = static_cast<char>(b);
        std::string utf8(1, one);
        bool replaced = false;
        if (converter) {
            utf8.clear();
            replaced = converter->AppendUtf8(std::string_view(&one, 1), utf8) != 0;
        }
        std::string form;
        for (const char c : utf8) {
            form += escaped(static_cast<unsigned char>(c));
            replaced = replaced || (c == 0 && nul);
        }
        std::memcpy(forms->Form[b], form.data(), std::min(form.size(), sizeof forms->Form[b]));
        forms->Length[b] = static_cast<std::uint8_t>(form.size());
        forms->Replaced[b] = replaced;
        forms->Returns[b] = static_cast<std::uint8_t>(std::count(utf8.begin(), utf8.end(), '\r'));
        if (b >= 0x20 && (b < 0x80 || !converter) && form != std::string(1, one))
            specials.push_back(0x0101010101010101u * b);
    }
    // Only a table that keeps ASCII keeps the words of plain letters.
    forms->Words = (!converter || converter->KeepsAscii()) && specials.size() <= 2;
    forms->Marked.High = converter ? 0x8080808080808080u : 0;
    specials.resize(2, specials.empty() ? 0 : specials[0]); // a NUL is below 0x20 anyway
    forms->Marked.Special[0] = specials[0];
    forms->Marked.Special[1] = specials[1];
    return forms;
}

unsigned SqlByteForms::Longest() const
{
    return *std::max_element(Length, Length + 256);
}

size_t SqlByteForms::CountReplaced(std::string_view text) const
{
    size_t count = 0;
    for (const char c : text)
        count += Replaced[static_cast<unsigned char>(c)];
    return count;
}

std::uint64_t SqlByteForms::CountReturns(std::string_view text) const
{
    std::uint64_t count = 0;
    for (const char c : text)
        count += Returns[static_cast<unsigned char>(c)];
    return count;
}
