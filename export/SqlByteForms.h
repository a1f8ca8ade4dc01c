#pragma once

// The tables that convert and escape a script's texts in one look-up a byte,
// and the other word-at-a-time writing of values. Classes: SqlByteForms,
// SqlTextSample.

#include "framework/ByteSearch.h"

#include <cstdint>
#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>

class CodePageConverter;
class SqlDialect;

inline constexpr char kSqlHexDigits[] = "0123456789abcdef";

// What each byte becomes in a text of the script, as the dialect writes it:
// itself in a UTF-8 text, or its UTF-8 form in a single-byte page; escaped,
// or in hexadecimal. One look-up a byte converts and escapes the many short
// texts of a table.
struct SqlByteForms {
    // The bytes of a text that its forms write otherwise than as
    // themselves, told a word at a time: those above 0x7F where High is
    // 0x80 in every byte (the page's upper half converted), and eight times
    // each of the two Special bytes (the same twice where there is one).
    struct Marks {
        std::uint64_t High;
        std::uint64_t Special[2];
    };

    char Form[256][16];         // at most 14 bytes, then anything
    std::uint8_t Length[256];
    std::uint8_t Replaced[256]; // 1 where the byte became U+FFFD
    std::uint8_t Returns[256];  // the carriage returns of its UTF-8
    // Eight bytes are copied as they are where none is below 0x20 and none
    // is marked, as most are; never without Words.
    bool Words;
    Marks Marked;

    // The forms of a single-byte page's bytes (converter) or of UTF-8's
    // (none); a NUL the database does not hold becomes U+FFFD.
    static std::unique_ptr<SqlByteForms> Make(const SqlDialect& dialect, const CodePageConverter* converter,
                                              bool hex);

    // How a text is read: a piece that may not be read past its end; a view
    // of the record, in whole words; or a view of the record byte by byte.
    enum class Reading : std::uint8_t { Piece, Words, Bytes };
    // Room for sizeof Form[0] bytes a byte at `to`; returns the end of what
    // it wrote, and sets `replaced` where a byte became U+FFFD.
    char* Write(char* to, const char* from, size_t size, Reading reading, std::uint8_t& replaced) const;

    // The high bits of the bytes of a word that the forms write otherwise
    // than as themselves (and now and then of one that they do not: its
    // form is itself).
    static ORVALIS_ALWAYS_INLINE std::uint64_t OtherBytes(std::uint64_t word, const Marks& marks)
    {
        return BytesBelow(word, 0x20) | AnyZeroByte(word ^ marks.Special[0]) | AnyZeroByte(word ^ marks.Special[1]) |
               (word & marks.High);
    }

    // The most bytes a byte becomes; the bytes of a text that became U+FFFD;
    // the carriage returns of a text's UTF-8.
    unsigned Longest() const;
    size_t CountReplaced(std::string_view text) const;
    std::uint64_t CountReturns(std::string_view text) const;
};

ORVALIS_ALWAYS_INLINE char* SqlByteForms::Write(char* to, const char* from, size_t size, Reading reading,
                                               std::uint8_t& replaced) const
{
    // In locals: the table's bytes might be the output's, for all the
    // compiler knows.
    const Marks marks = Marked;
    std::uint8_t any = 0;
    // The first `count` bytes of a word: copied as they are, then each byte
    // written otherwise put in its place, the bytes after it moved along.
    // Most words have none, and most others one or two.
    const auto put = [&](std::uint64_t word, std::uint64_t written, size_t count) {
        std::memcpy(to, &word, 8);
        while (written) {
            const auto before = static_cast<unsigned>(__builtin_ctzll(written)) / 8;
            const auto b = static_cast<unsigned char>(word >> 8 * before);
            to += before;
            std::memcpy(to, Form[b], sizeof Form[b]);
            to += Length[b];
            any |= Replaced[b];
            count -= before + 1;
            word = word >> 8 * before >> 8;
            written = written >> 8 * before >> 8;
            std::memcpy(to, &word, 8);
        }
        to += count;
    };
    size_t at = 0;
    // Eight bytes at a time where the table keeps plain letters; all through
    // the table elsewhere.
    if (Words && reading != Reading::Bytes) {
        for (; at + 8 <= size; at += 8) {
            const std::uint64_t word = LoadWord(from + at);
            put(word, OtherBytes(word, marks), 8);
        }
        if (reading == Reading::Words && at < size) {
            const std::uint64_t word = LoadWord(from + at);
            const size_t count = size - at;
            put(word, OtherBytes(word, marks) & (~std::uint64_t{ 0 } >> (64 - 8 * count)), count);
            at = size;
        }
    }
    for (; at < size; ++at) {
        const auto b = static_cast<unsigned char>(from[at]);
        std::memcpy(to, Form[b], sizeof Form[b]);
        to += Length[b];
        any |= Replaced[b];
    }
    replaced |= any;
    return to;
}

// A text column's first texts tell how it is written best: in words, where
// most words are copied as they are, or each byte through the table, where
// most texts hold a byte to convert or escape (accented names, say) and
// the test of each word would go one way and the other at random.
class SqlTextSample {
public:
    bool Sampling() const { return m_sampled < kTexts; }
    // A padded text of the column, read in whole words; true once the
    // sample is complete and says byte by byte.
    bool Add(std::string_view stored, const SqlByteForms::Marks& marks);

private:
    static constexpr std::uint16_t kTexts = 256;
    std::uint16_t m_sampled = 0;
    std::uint16_t m_marked = 0; // texts that hold a byte to convert or escape
};

inline bool SqlTextSample::Add(std::string_view stored, const SqlByteForms::Marks& marks)
{
    const std::string_view text = stored.substr(0, PaddedEnd(stored));
    std::uint64_t others = 0;
    for (size_t at = 0; at < text.size(); at += 8)
        others |= SqlByteForms::OtherBytes(LoadWord(text.data() + at), marks) &
                  (~std::uint64_t{ 0 } >> (64 - 8 * std::min<size_t>(8, text.size() - at)));
    m_marked += others != 0;
    return ++m_sampled == kTexts && m_marked > kTexts / 2;
}

// A date's eight stored digits (YYYYMMDD, read as a word), found to be a
// date already, as YYYY-MM-DD: moved apart in a word. Writes ten bytes.
ORVALIS_ALWAYS_INLINE char* WriteDateDigits(char* to, std::uint64_t digits)
{
    const std::uint64_t yearAndMonth = (digits & 0xFFFFFFFFu) | std::uint64_t{ '-' } << 32 |
                                       (digits >> 32 & 0xFFFF) << 40 | std::uint64_t{ '-' } << 56;
    const auto day = static_cast<std::uint16_t>(digits >> 48);
    std::memcpy(to, &yearAndMonth, 8);
    std::memcpy(to + 8, &day, 2);
    return to + 10;
}
