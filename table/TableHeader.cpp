// TableHeader: the fixed header and the field descriptors of every family, read with their bounds checked.

#include "table/TableHeader.h"

#include "framework/AnsiText.h"
#include "framework/ByteOrder.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr unsigned kHeaderSize = 32; // the part every family shares
constexpr unsigned char kFieldTerminator = 0x0D;
constexpr size_t kBacklinkSize = 263;

// The fields that the list and the export show, and the hidden null flags.
struct FieldTable {
    std::vector<FieldDescriptor> Visible;
    FieldDescriptor NullFlags;
    size_t End = 0; // where the terminator is, or would be, after the descriptors
};

// Reads the descriptors one after another until a terminator or the given
// number of them. False when the bytes end inside a descriptor.
bool ReadFieldTable(TableFamily family, const unsigned char* bytes, size_t size, unsigned slots,
                    std::uint16_t recordLength, FieldTable& table)
{
    const HeaderLayout& layout = LayoutOf(family);
    std::vector<const unsigned char*> descriptors;
    for (unsigned slot = 0; slot < slots; ++slot) {
        const size_t at = size_t{ slot } * layout.DescriptorSize;
        if (at < size && bytes[at] == kFieldTerminator)
            break;
        if (at + layout.DescriptorSize > size)
            return false;
        descriptors.push_back(bytes + at);
    }
    table.End = descriptors.size() * layout.DescriptorSize;

    // Clipper, Harbour and FoxPro keep the high byte of a long "C" field's
    // length in its decimal count; other writers put a display hint there.
    // The record length tells which, where it fits only the long lengths.
    const auto isCharacter = [&](const unsigned char* d) { return d[layout.TypeAt] == 'C'; };
    std::uint32_t plain = 1, extended = 1;
    for (const unsigned char* d : descriptors) {
        plain += d[layout.LengthAt];
        extended += d[layout.LengthAt] + (isCharacter(d) ? 256u * d[layout.DecimalsAt] : 0u);
    }
    const bool longCharacters = extended == recordLength && plain != recordLength;

    std::uint32_t offset = 1;
    // Visual FoxPro numbers the bits of "_NullFlags" in field order: a
    // variable-length bit for each "V" or "Q" field, then a null bit for each
    // nullable field.
    std::int16_t nextBit = 0;
    for (const unsigned char* d : descriptors) {
        const auto* name = reinterpret_cast<const char*>(d);
        FieldDescriptor field;
        field.Name = CString(name, static_cast<int>(strnlen(name, layout.NameSize)));
        field.Type = static_cast<char>(d[layout.TypeAt]);
        field.Length = d[layout.LengthAt];
        field.Decimals = d[layout.DecimalsAt];
        if (longCharacters && isCharacter(d)) {
            field.Length = static_cast<std::uint16_t>(field.Length + 256u * field.Decimals);
            field.Decimals = 0;
        }
        field.Offset = offset;
        field.Kind = KindOf(family, field.Type, field.Length);
        field.Memo = MemoUseOf(family, field.Type, field.Length);
        offset += field.Length;
        const std::uint8_t flags = layout.FlagsAt ? d[layout.FlagsAt] : 0;
        if (family == TableFamily::VisualFoxPro) {
            if (field.Type == 'V' || field.Type == 'Q')
                field.VarLengthBit = nextBit++;
            if (flags & kNullableField)
                field.NullBit = nextBit++;
            if (field.Type == '0' && table.NullFlags.Length == 0)
                table.NullFlags = field;
        }
        // A system field keeps its place in the record but has no column.
        if (!(flags & kSystemField))
            table.Visible.push_back(field);
    }
    return true;
}

} // namespace

void TableHeader::ThrowNotATable(const CString& path)
{
    throw CFileException(CFileException::invalidFile, path, 0,
                         ANSI_TEXT("El archivo %s no es una tabla dBase válida."));
}

TableHeader TableHeader::Read(CFile& file, const CString& path)
{
    unsigned char start[kHeaderSize];
    if (file.Read(start, kHeaderSize) < kHeaderSize)
        ThrowNotATable(path);
    TableHeader read;
    read.m_claimedRecords = static_cast<std::uint32_t>(LittleEndian<4>(start + 4));
    read.m_headerLength = static_cast<std::uint16_t>(LittleEndian<2>(start + 8));
    read.m_recordLength = static_cast<std::uint16_t>(LittleEndian<2>(start + 10));

    // The whole header, up to where record 1 begins: the version byte and
    // where the field table ends tell the family, and with it the size of
    // the fixed header and where the descriptors keep their parts.
    std::vector<unsigned char>& header = read.m_bytes;
    header.resize(std::max<size_t>(read.m_headerLength, kHeaderSize));
    std::copy_n(start, kHeaderSize, header.begin());
    const size_t got = kHeaderSize + file.Read(header.data() + kHeaderSize,
                                               static_cast<unsigned>(header.size() - kHeaderSize));
    header.resize(got);
    const TableFamily family = FamilyOf(read.Bytes());
    const HeaderLayout& layout = LayoutOf(family);
    // A record holds at least its deletion flag.
    if (read.m_headerLength < layout.HeaderSize || got < layout.HeaderSize || read.m_recordLength == 0)
        ThrowNotATable(path);

    // Descriptors fill the header up to HeaderLength at most; the field
    // table ends earlier at its terminator, before anything a program keeps
    // after it (such as Visual FoxPro's backlink).
    const unsigned slots = (read.m_headerLength - layout.HeaderSize) / layout.DescriptorSize;
    FieldTable table;
    if (!ReadFieldTable(family, header.data() + layout.HeaderSize, got - layout.HeaderSize, slots,
                        read.m_recordLength, table))
        ThrowNotATable(path);
    read.m_fieldCount = static_cast<std::uint16_t>(table.Visible.size());
    read.m_fields = std::make_unique<FieldDescriptor[]>(read.m_fieldCount);
    std::move(table.Visible.begin(), table.Visible.end(), read.m_fields.get());
    read.m_nullFlags = table.NullFlags;

    read.m_version = header[0];
    read.m_languageDriver = header[29];
    // Visual FoxPro keeps the path of the table's database container in
    // the 263 bytes after the terminator; blank in a free table.
    if (family == TableFamily::VisualFoxPro) {
        const size_t at = std::min(layout.HeaderSize + table.End + 1, got);
        const auto* link = reinterpret_cast<const char*>(header.data() + at);
        read.m_backlink = CString(link, static_cast<int>(strnlen(link, std::min<size_t>(kBacklinkSize, got - at))));
    }
    return read;
}
