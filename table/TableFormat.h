#pragma once

// Where the tables of each family keep their field descriptors, and how the
// stored bytes of each field type become text. Everything that differs
// between dBase III, Visual FoxPro and dBase level 7 is decided here.

#include "framework/CString.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

// The header families, told apart by the version byte at file offset 0.
enum class TableFamily : std::uint8_t {
    DBase,        // dBase III and everything else: 32-byte descriptors
    VisualFoxPro, // 0x30, 0x31, 0x32: 32-byte descriptors with flags, binary types
    DBase7,       // version & 7 == 4: 68-byte header, 48-byte descriptors
};

// Where the parts of a family's header and field descriptors lie.
struct HeaderLayout {
    unsigned HeaderSize;     // the fixed header; the first descriptor follows it
    unsigned DescriptorSize;
    unsigned NameSize;       // the name runs up to its first NUL within these
    unsigned TypeAt;
    unsigned LengthAt;
    unsigned DecimalsAt;
    unsigned FlagsAt;        // 0: the family has no field flags
};

// Bits of the Visual FoxPro field flags.
constexpr std::uint8_t kSystemField = 0x01; // hidden, such as "_NullFlags"
constexpr std::uint8_t kNullableField = 0x02;

// How a field's stored bytes are rendered.
enum class FieldKind : std::uint8_t {
    Text,         // any type stored as text: rendered as its bytes
    Character,    // "C": trailing white space trimmed for export, quoted in CSV
    Number,       // "N": leading white space trimmed for export
    VarCharacter, // Visual FoxPro "V": a "C" whose last byte may hold its length
    // Binary values: no raw text, the display text goes into every export.
    Level7Long,   // big-endian, sign bit flipped; zero bytes are empty
    Level7Double, // big-endian, ordered so that the bytes sort as the numbers
    Integer,      // little-endian signed 32-bit
    Double,       // little-endian IEEE double
    Currency,     // little-endian signed 64-bit ten-thousandths
    DateTime,     // little-endian Julian day and milliseconds after midnight
    MemoBlock,    // little-endian 32-bit block number in the memo file
};

// Reads an unsigned number of N bytes, least significant byte first, as
// every number in a table header is stored.
template <size_t N>
std::uint64_t LittleEndian(const void* stored)
{
    const auto* p = static_cast<const unsigned char*>(stored);
    std::uint64_t value = 0;
    for (size_t i = N; i-- > 0;)
        value = (value << 8u) | p[i];
    return value;
}

// The family of a table whose header, from its first byte up to HeaderLength
// (or the end of the file), is given.
TableFamily FamilyOf(std::string_view header);
const HeaderLayout& LayoutOf(TableFamily family);

// The kind of a field of the given type letter and declared length.
FieldKind KindOf(TableFamily family, char type, std::uint16_t length);

inline bool IsBinary(FieldKind kind) { return kind >= FieldKind::Level7Long; }

// The bytes a binary kind reads from the field's offset, whatever its
// declared length.
unsigned BinaryWidth(FieldKind kind);

// The text of a binary value whose BinaryWidth bytes begin at stored.
CString FormatBinary(FieldKind kind, const char* stored);

// The code page a language driver byte (header offset 29) names; 0 for a byte
// that names none (0 itself: the writer did not say).
unsigned CodePageOfLanguageDriver(std::uint8_t driver);
