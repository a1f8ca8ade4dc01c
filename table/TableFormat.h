#pragma once

// Where the tables of each family keep their field descriptors, and how the
// stored bytes of each field type become text. Everything that differs
// between dBase III, Visual FoxPro and dBase level 7 is decided here.

#include "framework/CString.h"
#include "framework/ByteOrder.h"
#include "framework/ByteSearch.h"

#include <algorithm>
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

// The family of a table whose header, from its first byte up to HeaderLength
// (or the end of the file), is given.
TableFamily FamilyOf(std::string_view header);
const HeaderLayout& LayoutOf(TableFamily family);

// A Visual FoxPro table whose flags byte (offset 28) marks it as a database
// container (.dbc). Every other file named .dbc is a compressed table.
bool IsDatabaseContainer(std::string_view header);

// The kind of a field of the given type letter and declared length.
FieldKind KindOf(TableFamily family, char type, std::uint16_t length);

inline bool IsBinary(FieldKind kind) { return kind >= FieldKind::Level7Long; }

// The bytes a binary kind reads from the field's offset, whatever its
// declared length.
unsigned BinaryWidth(FieldKind kind);

// The text of a binary value whose BinaryWidth bytes begin at stored.
CString FormatBinary(FieldKind kind, const char* stored);

// Which memo file goes with a table, told by its version byte, and how its
// blocks are kept.
enum class MemoFormat : std::uint8_t {
    DBaseIII, // .dbt of 512-byte blocks
    DBaseIV,  // .dbt whose header gives the block size (dBase IV, level 7, Clipper...)
    FoxPro,   // .fpt: FoxPro and Visual FoxPro
};
MemoFormat MemoFormatOf(std::uint8_t version);

// What a field keeps in the memo file.
enum class MemoUse : std::uint8_t {
    None,   // nothing: its value is in the record
    Text,   // "M": text (a FoxPro memo block may still hold a picture)
    Binary, // "G", "P", "W", and dBase's "B" of 10 bytes: pictures, objects, blobs
};
MemoUse MemoUseOf(TableFamily family, char type, std::uint16_t length);

// What a memo field's stored bytes say.
enum class MemoPointer : std::uint8_t {
    None,    // no memo: blanks, NULs or zero
    Block,   // the memo begins at this block
    Invalid, // not a number
};
// A Visual FoxPro 4-byte field holds the block little-endian; any other
// holds it as a decimal number in text.
MemoPointer MemoBlockOf(FieldKind kind, std::string_view stored, std::uint64_t& block);

// The typed values behind stored bytes, for outputs that keep types.
enum class Decoded : std::uint8_t {
    Value,
    Empty,   // no value: blanks, zeros, "?"
    Invalid, // not what the type says: letters in a number, February 30th
};
struct CalendarDate {
    unsigned Year, Month, Day;
};
struct DateTime {
    CalendarDate Date;
    unsigned Milliseconds; // after midnight
};
// A number as "N" and "F" fields store it in text, blanks around it.
struct DecimalNumber {
    bool Negative = false;
    std::string_view Integer;  // its digits without leading zeros: empty for 0
    std::string_view Fraction; // the digits after the point, as stored
};
Decoded DecodeLogical(std::string_view stored, bool& value);        // "L"
Decoded DecodeNumber(std::string_view stored, DecimalNumber& number);
Decoded DecodeDateTime(const char* stored, DateTime& value);        // Visual FoxPro "T"
// A Visual FoxPro or level 7 double; false where the bytes hold no value.
bool DecodeDouble(FieldKind kind, const char* stored, double& value);

inline bool IsDecimalDigit(char c) { return c >= '0' && c <= '9'; }

// How many decimal digits the bytes from `at` to `end` begin with, eight at a
// time; no byte before `first` or from `end` on is read.
ORVALIS_ALWAYS_INLINE size_t LeadingDigits(const char* first, const char* at, const char* end)
{
    const char* const start = at;
    while (at < end) {
        const auto left = static_cast<size_t>(end - at);
        std::uint64_t word = 0;
        if (left >= 8) {
            word = LoadWord(at);
        } else if (end - first >= 8) {
            // The word that ends with the bytes: the ones before them shifted
            // out, zeros (no digits) in their place.
            word = LoadWord(end - 8) >> (8 * (8 - left));
        } else {
            while (at < end && IsDecimalDigit(*at))
                ++at;
            break;
        }
        // The high bit of a byte below '0', above '9' or above 0x7F. Borrows
        // and carries only reach the bytes after the first such byte.
        const std::uint64_t others =
            ((word - 0x3030303030303030u) | (word + 0x4646464646464646u) | word) & 0x8080808080808080u;
        if (others) {
            at += std::min<size_t>(static_cast<size_t>(__builtin_ctzll(others)) / 8, left);
            break;
        }
        at += 8;
    }
    return static_cast<size_t>(at - start);
}

// Inline, as they run for every date, logical and number of every record of
// a script. Without branches (& and | of truths): no processor can foretell
// which of a table's dates fall in a leap year.
inline bool IsCalendarDate(const CalendarDate& date)
{
    static constexpr unsigned char kDays[13] = { 0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31 };
    const unsigned year = date.Year;
    const bool leap = (year % 4 == 0) & ((year % 100 != 0) | (year % 400 == 0));
    const unsigned month = date.Month <= 12 ? date.Month : 0; // a month of no days
    const unsigned days = kDays[month] + ((month == 2) & leap);
    return (year >= 1) & (year <= 9999) & (date.Day >= 1) & (date.Day <= days);
}

// "D": YYYYMMDD.
ORVALIS_ALWAYS_INLINE Decoded DecodeDate(std::string_view stored, CalendarDate& date)
{
    // Eight digits, told at once: every byte's high half is 3 and its low
    // half at most 9.
    if (stored.size() == 8) {
        const std::uint64_t word = LoadWord(stored.data());
        if ((word & 0xF0F0F0F0F0F0F0F0u) == 0x3030303030303030u &&
            (((word & 0x0F0F0F0F0F0F0F0Fu) + 0x0606060606060606u) & 0xF0F0F0F0F0F0F0F0u) == 0) {
            // Each byte times ten plus the next: the pairs' values in bytes
            // 0, 2, 4 and 6 (the bytes between them are of no pair).
            const std::uint64_t digits = word & 0x0F0F0F0F0F0F0F0Fu;
            const std::uint64_t pairs = digits * 10 + (digits >> 8);
            const auto pair = [&](unsigned i) { return static_cast<unsigned>(pairs >> 16 * i & 0xFF); };
            date = { pair(0) * 100 + pair(1), pair(2), pair(3) };
            if (IsCalendarDate(date))
                return Decoded::Value;
        }
    }
    // Blanks, zeros or NULs: no date.
    if (stored.find_first_not_of(std::string_view(" 0\0", 3)) == std::string_view::npos)
        return Decoded::Empty;
    return Decoded::Invalid;
}

inline Decoded DecodeLogical(std::string_view stored, bool& value)
{
    if (stored.size() != 1)
        return stored.find_first_not_of(std::string_view(" \0", 2)) == std::string_view::npos ? Decoded::Empty
                                                                                         : Decoded::Invalid;
    switch (stored[0]) {
    case 'T': case 't': case 'Y': case 'y':
        value = true;
        return Decoded::Value;
    case 'F': case 'f': case 'N': case 'n':
        value = false;
        return Decoded::Value;
    case '?': case ' ': case '\0':
        return Decoded::Empty;
    default:
        return Decoded::Invalid;
    }
}

ORVALIS_ALWAYS_INLINE Decoded DecodeNumber(std::string_view stored, DecimalNumber& number)
{
    // One pass, as it runs for every number of every record of a script.
    const char* at = stored.data();
    const char* end = at + stored.size();
    // Blanks or NULs around the number; numbers are right-aligned, so the
    // blanks before it are skipped eight at a time.
    for (; end - at >= 8; at += 8) {
        if (const std::uint64_t rest = LoadWord(at) ^ 0x2020202020202020u) {
            at += __builtin_ctzll(rest) / 8;
            break;
        }
    }
    while (at < end && (*at == ' ' || *at == '\0'))
        ++at;
    while (end > at && (end[-1] == ' ' || end[-1] == '\0'))
        --end;
    if (at == end)
        return Decoded::Empty;
    number.Negative = *at == '-';
    if (*at == '-' || *at == '+')
        ++at;
    // Digits, then a point (or the comma some writers put there) and digits.
    const char* const whole = at;
    at += LeadingDigits(stored.data(), at, end);
    const char* const wholeEnd = at;
    if (at < end && (*at == '.' || *at == ','))
        ++at;
    const char* const fraction = at;
    at += LeadingDigits(stored.data(), at, end);
    // Letters, blanks inside, the asterisks of an overflow, or no digit.
    if (at != end || (wholeEnd == whole && at == fraction))
        return Decoded::Invalid;
    const char* first = whole;
    while (first < wholeEnd && *first == '0')
        ++first; // leading zeros say nothing
    number.Integer = std::string_view(first, static_cast<size_t>(wholeEnd - first));
    number.Fraction = std::string_view(fraction, static_cast<size_t>(at - fraction));
    return Decoded::Value;
}

// Where a number stored in the plainest way begins: blanks, a minus sign or
// none, digits with no leading zero but a lone one, and with decimals a
// point and that many digits, the field's last. The text from there is the
// number as DecodeNumber reads it, written as it is. npos for any other
// (blank, a plus sign, more or fewer decimals, blanks after it, ...), and
// for a field of more than 16 bytes. Nearly every number is stored so: this
// tells it for the whole field at once, from two words read from the
// field's start (as the record's views may be read).
ORVALIS_ALWAYS_INLINE size_t PlainNumberStart(std::string_view stored, unsigned decimals)
{
    constexpr size_t npos = std::string_view::npos;
    constexpr std::uint64_t kBlanks = 0x2020202020202020u;
    const size_t width = stored.size();
    if (width == 0 || width > 16)
        return npos;
    // Bit i for byte i: which bytes are digits, which blanks.
    const std::uint64_t low = LoadWord(stored.data()), high = LoadWord(stored.data() + 8);
    const unsigned digits = ByteBits(DigitBytes(low)) | ByteBits(DigitBytes(high)) << 8;
    const unsigned blanks = ByteBits(ZeroBytes(low ^ kBlanks)) | ByteBits(ZeroBytes(high ^ kBlanks)) << 8;
    const unsigned field = (1u << width) - 1;
    const unsigned text = field & ~blanks;
    if (text == 0)
        return npos;
    const auto start = static_cast<size_t>(__builtin_ctz(text));
    const size_t first = start + (stored[start] == '-' ? 1 : 0); // the first digit
    const size_t point = decimals > 0 ? width - std::min<size_t>(width, decimals + 1) : width;
    if (first >= point || (decimals > 0 && stored[point] != '.') || (stored[first] == '0' && first + 1 < point))
        return npos;
    const unsigned wanted = field & ~((1u << first) - 1) & ~(decimals > 0 ? 1u << point : 0u);
    return (digits & wanted) == wanted ? start : npos;
}

// The code page a language driver byte (header offset 29) names; 0 for a byte
// that names none (0 itself: the writer did not say).
unsigned CodePageOfLanguageDriver(std::uint8_t driver);
