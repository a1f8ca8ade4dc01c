#pragma once

// How the texts of a field drop their white space: the export's trims and
// the display's trailing blanks. Inline, as the export trims every field of
// every record.

#include "framework/ByteSearch.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

inline bool IsWhiteSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Blanks, the padding of nearly every field, are skipped eight at a time:
// in a word of eight bytes read least significant first, the blanks that
// end or begin it are the zero bytes at the top or the bottom of the word
// XOR eight blanks.
constexpr std::uint64_t kEightBlanks = 0x2020202020202020u;

inline std::uint64_t NotBlanks(const char* at)
{
    return LoadWord(at) ^ kEightBlanks;
}

// Both skips look at every word of the text, so that their loops run the
// same number of times for every value of a field, and the processor
// predicts them; a word of blanks changes nothing.
inline size_t SkipBlanksForward(std::string_view text)
{
    size_t first = text.size() & ~size_t{ 7 }; // when every word is blanks
    for (size_t at = first; at >= 8; at -= 8) {
        const std::uint64_t rest = NotBlanks(text.data() + at - 8);
        const size_t found = at - 8 + static_cast<size_t>(__builtin_ctzll(rest | (1ull << 63)) / 8);
        first = rest ? found : first;
    }
    return first;
}

inline size_t SkipBlanksBack(std::string_view text)
{
    size_t end = text.size() & 7; // when every word is blanks
    for (size_t at = end; at + 8 <= text.size(); at += 8) {
        const std::uint64_t rest = NotBlanks(text.data() + at);
        const size_t found = at + 8 - static_cast<size_t>(__builtin_clzll(rest | 1u) / 8);
        end = rest ? found : end;
    }
    return end;
}

// The field's text without its leading white space.
ORVALIS_ALWAYS_INLINE std::string_view TrimLeading(std::string_view text)
{
    const auto first = std::find_if_not(text.begin() + SkipBlanksForward(text), text.end(), IsWhiteSpace);
    return text.substr(static_cast<size_t>(first - text.begin()));
}

// Where the text's trailing white space begins.
inline size_t TrailingWhiteSpace(std::string_view text)
{
    size_t end = SkipBlanksBack(text);
    while (end > 0 && IsWhiteSpace(text[end - 1]))
        --end;
    return end;
}

// The field's text without its trailing white space. Only the part before the
// first NUL counts: when it ends in white space the text is cut where that run
// begins, dropping whatever follows; otherwise the text is kept whole.
ORVALIS_ALWAYS_INLINE std::string_view TrimTrailing(std::string_view text)
{
    // One pass over the words finds both where the trailing blanks begin and
    // whether any NUL is there; nearly every text holds none.
    const size_t head = text.size() & 7;
    size_t end = head;
    std::uint64_t nuls = 0;
    for (size_t at = head; at + 8 <= text.size(); at += 8) {
        const std::uint64_t word = LoadWord(text.data() + at);
        nuls |= ZeroBytes(word);
        const std::uint64_t rest = word ^ kEightBlanks;
        const size_t found = at + 8 - static_cast<size_t>(__builtin_clzll(rest | 1u) / 8);
        end = rest ? found : end;
    }
    for (size_t at = 0; at < head; ++at)
        nuls |= text[at] == '\0';
    if (nuls) {
        const std::string_view beforeNul = text.substr(0, FindByte(text, '\0'));
        const size_t cut = TrailingWhiteSpace(beforeNul);
        return cut < beforeNul.size() ? text.substr(0, cut) : text;
    }
    while (end > 0 && IsWhiteSpace(text[end - 1]))
        --end;
    return text.substr(0, end);
}

// Leading and interior runs of blanks are kept as stored; trailing blanks go.
inline std::string_view DropTrailingBlanks(std::string_view text)
{
    const size_t last = text.substr(0, SkipBlanksBack(text)).find_last_not_of(' ');
    return last == std::string_view::npos ? std::string_view() : text.substr(0, last + 1);
}
