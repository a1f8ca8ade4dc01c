#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

// Searching the short texts of fields (a few dozen bytes, millions of times
// in an export) eight bytes at a time, inline: for texts this short a
// library call costs more than the search.

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "words are read least significant byte first");

inline std::uint64_t LoadWord(const char* at)
{
    std::uint64_t word;
    std::memcpy(&word, at, 8);
    return word;
}

// The high bit of each byte of the word that is zero, and no other bit.
inline std::uint64_t ZeroBytes(std::uint64_t word)
{
    constexpr std::uint64_t kLows = 0x7F7F7F7F7F7F7F7Fu;
    return ~(((word & kLows) + kLows) | word | kLows);
}

// Where the byte first occurs in the text; npos when it does not.
inline size_t FindByte(std::string_view text, char wanted)
{
    const std::uint64_t pattern = 0x0101010101010101u * static_cast<unsigned char>(wanted);
    const auto find = [&](size_t at) -> size_t {
        const std::uint64_t matches = ZeroBytes(LoadWord(text.data() + at) ^ pattern);
        return matches ? at + static_cast<size_t>(__builtin_ctzll(matches) / 8) : std::string_view::npos;
    };
    if (text.size() < 8) {
        for (size_t at = 0; at < text.size(); ++at)
            if (text[at] == wanted)
                return at;
        return std::string_view::npos;
    }
    for (size_t at = 0; at + 8 <= text.size(); at += 8)
        if (const size_t found = find(at); found != std::string_view::npos)
            return found;
    // The last word overlaps bytes already searched, which hold no match.
    return text.size() % 8 ? find(text.size() - 8) : std::string_view::npos;
}
