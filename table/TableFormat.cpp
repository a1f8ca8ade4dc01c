#include "table/TableFormat.h"

#include "framework/ByteSearch.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace {

double AsDouble(std::uint64_t bits)
{
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// Integers through to_chars: the same digits on every platform and runtime.
template <class Integer>
CString Decimal(Integer value)
{
    char text[24];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return CString(text, static_cast<int>(end - text));
}

// Spelled here, never by the C library, whose spellings differ by platform.
CString NonFinite(double value)
{
    if (std::isnan(value))
        return CString("nan");
    return CString(value < 0 ? "-inf" : "inf");
}

// A dBase level 7 long: big-endian with the sign bit flipped; all zero bytes
// hold no value.
CString FormatLevel7Long(const char* stored)
{
    const auto bits = static_cast<std::uint32_t>(BigEndian<4>(stored));
    if (bits == 0)
        return CString();
    return Decimal(static_cast<std::int32_t>(bits ^ 0x80000000u));
}

CString FormatLevel7Double(const char* stored)
{
    double value;
    if (!DecodeDouble(FieldKind::Level7Double, stored, value))
        return CString();
    if (!std::isfinite(value))
        return NonFinite(value);
    CString text;
    text.Format("%.2f", value);
    return text;
}

// The fewest digits that read back as the same double, never rounded to the
// field's decimal count, so that nothing is lost; never an exponent.
CString FormatDouble(const char* stored)
{
    const double value = AsDouble(LittleEndian<8>(stored));
    if (!std::isfinite(value))
        return NonFinite(value);
    char text[400]; // 1.8e308 takes 309 digits, 4.9e-324 takes 326 characters
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
    return CString(text, static_cast<int>(result.ptr - text));
}

// Exactly four decimals, in integers all the way.
CString FormatCurrency(const char* stored)
{
    const auto bits = LittleEndian<8>(stored);
    const bool negative = (bits >> 63u) != 0;
    const std::uint64_t magnitude = negative ? 0 - bits : bits;
    const auto fraction = static_cast<unsigned>(magnitude % 10000);
    CString text(negative ? "-" : "");
    text += Decimal(magnitude / 10000);
    text += '.';
    for (unsigned digit = 1000; digit > 0; digit /= 10)
        text += static_cast<char>('0' + fraction / digit % 10);
    return text;
}

CString FormatDateTime(const char* stored)
{
    DateTime value;
    if (DecodeDateTime(stored, value) != Decoded::Value)
        return CString();
    char text[20];
    const auto two = [&](char* at, unsigned n) {
        at[0] = static_cast<char>('0' + n / 10);
        at[1] = static_cast<char>('0' + n % 10);
    };
    two(text, value.Date.Year / 100);
    two(text + 2, value.Date.Year % 100);
    text[4] = '-';
    two(text + 5, value.Date.Month);
    text[7] = '-';
    two(text + 8, value.Date.Day);
    text[10] = ' ';
    two(text + 11, value.Milliseconds / 3600000);
    text[13] = ':';
    two(text + 14, value.Milliseconds / 60000 % 60);
    text[16] = ':';
    two(text + 17, value.Milliseconds / 1000 % 60);
    return CString(text, 19);
}

} // namespace

TableFamily FamilyOf(std::string_view header)
{
    const auto version = static_cast<std::uint8_t>(header.empty() ? 0 : header[0]);
    if (version == 0x30 || version == 0x31 || version == 0x32)
        return TableFamily::VisualFoxPro;
    if ((version & 0x07) != 4)
        return TableFamily::DBase;
    // Perl's XBase writes dBase IV tables as 0x84: level 7 only where the
    // field table ends on the level 7 grid. The two grids never meet, as
    // 68 + 48n - 32 - 32m is never a multiple of 16.
    const auto endsOnGrid = [&](size_t first, size_t step) {
        for (size_t at = first; at < header.size(); at += step)
            if (header[at] == '\x0D')
                return true;
        return false;
    };
    if (!endsOnGrid(68, 48) && endsOnGrid(32, 32))
        return TableFamily::DBase;
    return TableFamily::DBase7;
}

bool IsDatabaseContainer(std::string_view header)
{
    constexpr size_t kFlagsAt = 28;
    constexpr unsigned char kContainerFlag = 0x04;
    return FamilyOf(header) == TableFamily::VisualFoxPro && header.size() > kFlagsAt &&
           (static_cast<unsigned char>(header[kFlagsAt]) & kContainerFlag) != 0;
}

//                                     header  size  name  type  length  decimals  flags
constexpr HeaderLayout kDBase           { 32,     32,   11,   11,   16,     17,       0 };
constexpr HeaderLayout kFoxPro          { 32,     32,   11,   11,   16,     17,       18 };
constexpr HeaderLayout kDBase7          { 68,     48,   32,   32,   33,     34,       0 };

const HeaderLayout& LayoutOf(TableFamily family)
{
    switch (family) {
    case TableFamily::VisualFoxPro: return kFoxPro;
    case TableFamily::DBase7:       return kDBase7;
    case TableFamily::DBase:        break;
    }
    return kDBase;
}

FieldKind KindOf(TableFamily family, char type, std::uint16_t length)
{
    switch (type) {
    case 'C': return FieldKind::Character;
    case 'N': return FieldKind::Number;
    case 'O': return FieldKind::Level7Double;
    default:  break;
    }
    if (family == TableFamily::VisualFoxPro) {
        switch (type) {
        case 'I': return FieldKind::Integer;
        case 'B': return FieldKind::Double;
        case 'Y': return FieldKind::Currency;
        case 'T': return FieldKind::DateTime;
        case 'V': return FieldKind::VarCharacter;
        case 'M': case 'G': case 'P': case 'W':
            return length == 4 ? FieldKind::MemoBlock : FieldKind::Text;
        default:  return FieldKind::Text;
        }
    }
    if (type == 'I' || (type == '+' && family == TableFamily::DBase7))
        return FieldKind::Level7Long;
    return FieldKind::Text;
}

unsigned BinaryWidth(FieldKind kind)
{
    switch (kind) {
    case FieldKind::Level7Long:
    case FieldKind::Integer:
    case FieldKind::MemoBlock:
        return 4;
    default:
        return 8;
    }
}

CString FormatBinary(FieldKind kind, const char* stored)
{
    switch (kind) {
    case FieldKind::Level7Long:   return FormatLevel7Long(stored);
    case FieldKind::Level7Double: return FormatLevel7Double(stored);
    case FieldKind::Integer:
        return Decimal(static_cast<std::int32_t>(static_cast<std::uint32_t>(LittleEndian<4>(stored))));
    case FieldKind::Double:       return FormatDouble(stored);
    case FieldKind::Currency:     return FormatCurrency(stored);
    case FieldKind::DateTime:     return FormatDateTime(stored);
    case FieldKind::MemoBlock: {
        const auto block = LittleEndian<4>(stored);
        return block == 0 ? CString() : Decimal(block);
    }
    default:
        return CString();
    }
}

MemoFormat MemoFormatOf(std::uint8_t version)
{
    switch (version) {
    case 0x30: case 0x31: case 0x32: case 0xF5: case 0xFB:
        return MemoFormat::FoxPro;
    case 0x03: case 0x83:
        return MemoFormat::DBaseIII;
    default:
        return MemoFormat::DBaseIV;
    }
}

MemoUse MemoUseOf(TableFamily family, char type, std::uint16_t length)
{
    switch (type) {
    case 'M':           return MemoUse::Text;
    case 'G': case 'P': case 'W':
        return MemoUse::Binary;
    case 'B':           // a double in Visual FoxPro
        return family != TableFamily::VisualFoxPro && length == 10 ? MemoUse::Binary : MemoUse::None;
    default:            return MemoUse::None;
    }
}

MemoPointer MemoBlockOf(FieldKind kind, std::string_view stored, std::uint64_t& block)
{
    block = 0;
    if (kind == FieldKind::MemoBlock) {
        if (stored.size() < 4)
            return MemoPointer::Invalid;
        block = LittleEndian<4>(stored.data());
        return block == 0 ? MemoPointer::None : MemoPointer::Block;
    }
    // Blanks or NULs around the digits; some writers leave an empty
    // pointer as NUL bytes.
    const auto padding = [](char c) { return c == ' ' || c == '\0'; };
    while (!stored.empty() && padding(stored.front()))
        stored.remove_prefix(1);
    while (!stored.empty() && padding(stored.back()))
        stored.remove_suffix(1);
    // Nineteen digits cannot overflow; no memo file holds that many blocks.
    if (stored.size() > 19)
        return MemoPointer::Invalid;
    for (const char c : stored) {
        if (c < '0' || c > '9')
            return MemoPointer::Invalid;
        block = block * 10 + static_cast<unsigned>(c - '0');
    }
    return block == 0 ? MemoPointer::None : MemoPointer::Block;
}

Decoded DecodeDateTime(const char* stored, DateTime& value)
{
    // No day, or eight blanks: no value. Days outside the years 1 to 9999
    // cannot be written as dates.
    constexpr std::int64_t kFirstDay = 1721426; // 0001-01-01
    constexpr std::int64_t kLastDay = 5373484;  // 9999-12-31
    constexpr std::int64_t kDayMs = 86400000;
    if (std::memcmp(stored, "        ", 8) == 0)
        return Decoded::Empty;
    const auto day = static_cast<std::int64_t>(LittleEndian<4>(stored));
    const auto ms = static_cast<std::int64_t>(LittleEndian<4>(stored + 4));
    if (day == 0)
        return Decoded::Empty;
    if (day < kFirstDay || day > kLastDay || ms >= kDayMs)
        return Decoded::Invalid;
    // Richards' conversion of a Julian day number to a Gregorian date.
    const std::int64_t f = day + 1401 + (((4 * day + 274277) / 146097) * 3) / 4 - 38;
    const std::int64_t e = 4 * f + 3;
    const std::int64_t h = 5 * ((e % 1461) / 4) + 2;
    const auto month = static_cast<unsigned>((h / 153 + 2) % 12 + 1);
    value.Date = { static_cast<unsigned>(e / 1461 - 4716 + (14 - month) / 12), month,
                   static_cast<unsigned>((h % 153) / 5 + 1) };
    value.Milliseconds = static_cast<unsigned>(ms);
    return Decoded::Value;
}

bool DecodeDouble(FieldKind kind, const char* stored, double& value)
{
    if (kind == FieldKind::Double) {
        value = AsDouble(LittleEndian<8>(stored));
        return true;
    }
    // dBase level 7: big-endian, with the sign bit set for positive values
    // and every bit inverted for negative ones, so that the bytes sort as the
    // numbers. All zero bytes hold no value.
    std::uint64_t bits = BigEndian<8>(stored);
    if (bits == 0)
        return false;
    constexpr std::uint64_t kSign = 0x8000000000000000u;
    value = AsDouble((bits & kSign) ? bits & ~kSign : ~bits);
    return true;
}

unsigned CodePageOfLanguageDriver(std::uint8_t driver)
{
    // The drivers of dBase, FoxPro and the shapefile writers; 0x57 says "the
    // system's ANSI code page", which for these tables is in practice 1252.
    static constexpr struct { std::uint8_t Driver; unsigned short CodePage; } kDrivers[] = {
        { 0x01, 437 },  { 0x02, 850 },  { 0x03, 1252 }, { 0x04, 10000 }, { 0x08, 865 },
        { 0x09, 437 },  { 0x0A, 850 },  { 0x0B, 437 },  { 0x0D, 437 },   { 0x0E, 850 },
        { 0x0F, 437 },  { 0x10, 850 },  { 0x11, 437 },  { 0x12, 850 },   { 0x13, 932 },
        { 0x14, 850 },  { 0x15, 437 },  { 0x16, 850 },  { 0x17, 865 },   { 0x18, 437 },
        { 0x19, 437 },  { 0x1A, 850 },  { 0x1B, 437 },  { 0x1C, 863 },   { 0x1D, 850 },
        { 0x1F, 852 },  { 0x22, 852 },  { 0x23, 852 },  { 0x24, 860 },   { 0x25, 850 },
        { 0x26, 866 },  { 0x37, 850 },  { 0x40, 852 },  { 0x4D, 936 },   { 0x4E, 949 },
        { 0x4F, 950 },  { 0x50, 874 },  { 0x57, 1252 }, { 0x58, 1252 },  { 0x59, 1252 },
        { 0x64, 852 },  { 0x65, 866 },  { 0x66, 865 },  { 0x67, 861 },   { 0x6A, 737 },
        { 0x6B, 857 },  { 0x6C, 863 },  { 0x78, 950 },  { 0x79, 949 },   { 0x7A, 936 },
        { 0x7B, 932 },  { 0x7C, 874 },  { 0x7D, 1255 }, { 0x7E, 1256 },  { 0x86, 737 },
        { 0x87, 852 },  { 0x88, 857 },  { 0x96, 10007 }, { 0x97, 10029 }, { 0x98, 10006 },
        { 0xC8, 1250 }, { 0xC9, 1251 }, { 0xCA, 1254 }, { 0xCB, 1253 },  { 0xCC, 1257 },
    };
    for (const auto& entry : kDrivers)
        if (entry.Driver == driver)
            return entry.CodePage;
    return 0;
}
