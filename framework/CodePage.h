#pragma once

#include "framework/CException.h"

#include <memory>
#include <string>
#include <string_view>

// Windows code-page numbers name the code pages on every platform.
constexpr unsigned kCodePageUtf8 = 65001;
constexpr unsigned kCodePageWindows1252 = 1252;

// The code page a name names, as .cpg files beside tables and users write them:
// "UTF-8", "1252", "CP1252", "ANSI 1252", "Windows-1252", "OEM 850", "IBM850",
// "ISO-8859-1", "ISO8859-15", "88591", "US-ASCII"... Case-insensitive; blanks
// around the name and every line after the first are ignored. 0 when the name
// is not recognised or CodePageConverter cannot convert from that code page.
unsigned CodePageFromName(std::string_view name);

// Converts text from a code page to UTF-8 with the system's converters (iconv on
// POSIX, the code-page functions on Windows); UTF-8 itself is checked here, the
// same way on both. A single-byte page is asked once for each of its 256 bytes
// and converted from that table. Every byte sequence the code page does not
// define becomes one U+FFFD and conversion goes on; NUL bytes stay NUL bytes.
// An object keeps conversion state and scratch space: use it from one thread at
// a time.
class CodePageConverter {
public:
    // Throws CCodePageException when the system cannot convert from codePage.
    explicit CodePageConverter(unsigned codePage);
    ~CodePageConverter();
    CodePageConverter(CodePageConverter&&) noexcept;
    CodePageConverter& operator=(CodePageConverter&&) noexcept;

    unsigned CodePage() const { return m_codePage; }

    // Appends the UTF-8 form of text to out and returns how many U+FFFD stand
    // for sequences the code page does not define. Meant for millions of short
    // texts: nothing is allocated but out's growth.
    size_t AppendUtf8(std::string_view text, std::string& out) const;
    // The same for one piece of a longer text: a character that the piece's
    // end cuts short is left for the next piece, and `used` says how many bytes
    // were converted.
    size_t AppendUtf8Part(std::string_view text, std::string& out, size_t& used) const;

    static bool IsSupported(unsigned codePage);

    // Whether a text of bytes below 0x80 is its own UTF-8 form, and no other
    // byte gives a character below 0x80.
    bool KeepsAscii() const;
    // Whether the page is single-byte, converted from a table.
    bool ConvertsByTable() const { return m_singleByte != nullptr; }

private:
    struct System;       // the platform's converter and its scratch space
    struct SingleByte;   // each byte's UTF-8 form, for a single-byte page

    // The system's conversion; with `part`, stops before a character cut short.
    size_t AppendSystem(std::string_view text, std::string& out, bool part, size_t& used) const;
    void BuildSingleByteTable();
    // A byte's UTF-8 form, alone; false where the page is not single-byte.
    bool ByteForm(char one, std::string& utf8, bool& unmapped) const;

    unsigned m_codePage;
    std::unique_ptr<System> m_system;           // null for UTF-8
    std::unique_ptr<SingleByte> m_singleByte;   // null for UTF-8 and multibyte pages
};

// A table or a user asked for a code page the system cannot convert from.
class CCodePageException : public CException {
public:
    explicit CCodePageException(unsigned codePage) : m_codePage(codePage) {}

    CString GetErrorMessage() const override;
    unsigned CodePage() const { return m_codePage; }

private:
    unsigned m_codePage;
};
