#pragma once

// The UTF-8 codec every part shares: checking, decoding and encoding a
// character, and counting characters and UTF-16 units.

#include <cstddef>
#include <string>
#include <string_view>

inline constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD"; // U+FFFD

// Whether the byte starts a character (is not a continuation byte).
constexpr bool IsUtf8Start(unsigned char c)
{
    return (c & 0xC0) != 0x80;
}

// The UTF-16 units of the character whose first byte is c: 0 for a
// continuation byte.
constexpr unsigned Utf16UnitsOf(unsigned char c)
{
    return !IsUtf8Start(c) ? 0 : c >= 0xF0 ? 2 : 1;
}

// How many characters a UTF-8 text holds.
std::size_t Utf8CharacterCount(std::string_view utf8);

// Length of the well-formed UTF-8 character that text starts with, or 0 when
// it is ill-formed; then `bad` counts the bytes that one U+FFFD replaces (the
// longest start of a well-formed character, as Unicode recommends), and `cut`
// says whether the text's end is what cut it short.
std::size_t Utf8Length(std::string_view text, std::size_t& bad, bool& cut);

// Decodes the character at text[at], taken as well formed; its length goes to
// `length`. A lead byte whose character the text cuts short is taken alone.
char32_t DecodeUtf8(std::string_view text, std::size_t at, std::size_t& length);

// Appends a character of the Basic Multilingual Plane.
void AppendUtf8(char32_t c, std::string& out);
