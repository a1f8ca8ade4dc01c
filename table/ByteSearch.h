#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

// Finds a byte in the short texts of fields (a few dozen bytes, millions of
// times in an export) eight bytes at a time, inline: for texts this short a
// library call costs more than the search. npos when the byte is not there.
inline size_t FindByte(std::string_view text, char byte)
{
    static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "words are read least significant byte first");
    constexpr std::uint64_t kOnes = 0x0101010101010101u;
    constexpr std::uint64_t kHighs = 0x8080808080808080u;
    const std::uint64_t pattern = kOnes * static_cast<unsigned char>(byte);
    // The first byte of the word that equals the byte, if any: the lowest
    // high bit of the zero bytes after XOR is exact.
    const auto find = [&](size_t at) -> size_t {
        std::uint64_t word;
        std::memcpy(&word, text.data() + at, 8);
        word ^= pattern;
        const std::uint64_t zeros = (word - kOnes) & ~word & kHighs;
        return zeros ? at + static_cast<size_t>(__builtin_ctzll(zeros) / 8) : std::string_view::npos;
    };
    if (text.size() < 8) {
        for (size_t at = 0; at < text.size(); ++at)
            if (text[at] == byte)
                return at;
        return std::string_view::npos;
    }
    for (size_t at = 0; at + 8 <= text.size(); at += 8)
        if (const size_t found = find(at); found != std::string_view::npos)
            return found;
    // The last word overlaps bytes already searched, which hold no match.
    return text.size() % 8 ? find(text.size() - 8) : std::string_view::npos;
}

