#pragma once

// PostgreSQL's COPY text format, in which the tab-separated layout writes memo
// texts and a PostgreSQL script writes every text: a backslash, tab, line
// feed and carriage return, which would end the value or the row or start an
// escape, are written as \\, \t, \n and \r.

#include "export/LineBuffer.h"
#include "framework/ByteSearch.h"

#include <cstdint>
#include <cstring>
#include <string_view>

// The letter that follows the backslash for a byte COPY escapes; 0 for the
// others.
inline char CopyEscape(char c)
{
    switch (c) {
    case '\\': return '\\';
    case '\t': return 't';
    case '\n': return 'n';
    case '\r': return 'r';
    default:   return 0;
    }
}

// The high bit of each byte of the word that COPY escapes.
inline std::uint64_t CopyEscapes(std::uint64_t word)
{
    constexpr std::uint64_t kOnes = 0x0101010101010101u;
    return ZeroBytes(word ^ kOnes * '\\') | ZeroBytes(word ^ kOnes * '\t') | ZeroBytes(word ^ kOnes * '\n') |
           ZeroBytes(word ^ kOnes * '\r');
}

inline void AppendCopyText(LineBuffer& out, std::string_view text)
{
    // Straight into the output, eight bytes at a time where none is to be
    // escaped; an escape takes two bytes at most.
    char* to = out.Claim(2 * text.size());
    const auto one = [&](char c) {
        if (const char escaped = CopyEscape(c)) {
            *to++ = '\\';
            *to++ = escaped;
        } else {
            *to++ = c;
        }
    };
    size_t at = 0;
    for (; at + 8 <= text.size(); at += 8) {
        const std::uint64_t word = LoadWord(text.data() + at);
        if (CopyEscapes(word) == 0) {
            std::memcpy(to, &word, 8);
            to += 8;
        } else {
            for (size_t i = at; i < at + 8; ++i)
                one(text[i]);
        }
    }
    for (; at < text.size(); ++at)
        one(text[at]);
    out.Keep(to);
}
