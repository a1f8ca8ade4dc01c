#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

// Searching the short texts of fields (a few dozen bytes, millions of times
// in an export) eight bytes at a time, inline: for texts this short a
// library call costs more than the search.

// For the few functions that the export runs for every field of every
// record, where the compiler's own judgement leaves a call.
#if defined(__GNUC__)
#define ORVALIS_ALWAYS_INLINE inline __attribute__((always_inline))
#else
#define ORVALIS_ALWAYS_INLINE inline
#endif

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

// Whether any byte of the word is zero; the lowest high bit set, if any, is
// that of the first zero byte (those after it may be set wrongly).
inline std::uint64_t AnyZeroByte(std::uint64_t word)
{
    return (word - 0x0101010101010101u) & ~word & 0x8080808080808080u;
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

// Whether every byte of the text is below 0x80.
inline bool IsAscii(std::string_view text)
{
    std::uint64_t high = 0;
    size_t at = 0;
    for (; at + 8 <= text.size(); at += 8)
        high |= LoadWord(text.data() + at);
    for (; at < text.size(); ++at)
        high |= static_cast<unsigned char>(text[at]);
    return (high & 0x8080808080808080u) == 0;
}

// Where the text ends once the blanks and NULs that pad it are gone.
inline size_t PaddedEnd(std::string_view text)
{
    constexpr std::uint64_t kHighBits = 0x8080808080808080u;
    size_t end = text.size();
    for (; end >= 8; end -= 8) {
        // A blank (0x20) or a NUL is a byte that is zero but for bit 0x20.
        const std::uint64_t word = LoadWord(text.data() + end - 8);
        const std::uint64_t kept = ZeroBytes(word & ~(kHighBits >> 2)) ^ kHighBits;
        if (kept)
            return end - 8 + static_cast<size_t>(63 - __builtin_clzll(kept)) / 8 + 1;
    }
    while (end > 0 && (text[end - 1] == ' ' || text[end - 1] == '\0'))
        --end;
    return end;
}

// The high bit of each byte of the word that is a decimal digit, and no
// other: each byte is looked at alone, without carries from the others.
inline std::uint64_t DigitBytes(std::uint64_t word)
{
    const std::uint64_t low = word & 0x7F7F7F7F7F7F7F7Fu;
    // At least '0' (0x30), and below ':' (0x3A), and no high bit.
    return (low + 0x5050505050505050u) & ~(low + 0x4646464646464646u) & ~word & 0x8080808080808080u;
}

// The high bits of the bytes of a word, gathered: bit i for byte i.
inline unsigned ByteBits(std::uint64_t highBits)
{
    // Byte i's bit moves to bit 56 + i of the product, and no two meet.
    return static_cast<unsigned>((((highBits & 0x8080808080808080u) >> 7) * 0x0102040810204080u) >> 56);
}

// The high bit of each byte of the word that is below n (n at most 128), and
// now and then of a byte just above one that is: a hint, to be checked.
inline std::uint64_t BytesBelow(std::uint64_t word, unsigned n)
{
    return (word - 0x0101010101010101u * n) & ~word & 0x8080808080808080u;
}
