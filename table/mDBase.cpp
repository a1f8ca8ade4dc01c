#include "table/mDBase.h"

#include <algorithm>
#include <cstring>

const CRuntimeClass mDBase::RuntimeClass = MakeRuntimeClass<mDBase>("mDBase");

namespace {

constexpr unsigned kHeaderSize = 32;
constexpr unsigned kDescriptorSize = 32;
constexpr unsigned kNameSize = 11;

std::uint32_t Little16(const unsigned char* p) { return p[0] | (p[1] << 8u); }

std::uint32_t Little32(const unsigned char* p)
{
    return p[0] | (p[1] << 8u) | (p[2] << 16u) | (static_cast<std::uint32_t>(p[3]) << 24u);
}

// Reads a most-significant-first number of N bytes.
template <class Number, size_t N>
Number Big(const char* p)
{
    Number value = 0;
    for (size_t i = 0; i < N; ++i)
        value = static_cast<Number>((value << 8u) | static_cast<unsigned char>(p[i]));
    return value;
}

bool IsWhiteSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

[[noreturn]] void ThrowNotATable(const CString& path)
{
    throw CFileException(CFileException::invalidFile, path, 0,
                         "El archivo %s no es una tabla dBase v\xE1lida.");
}

// The field's text without its leading white space.
CString TrimLeading(std::string_view text)
{
    const auto first = std::find_if_not(text.begin(), text.end(), IsWhiteSpace);
    return CString(text.substr(static_cast<size_t>(first - text.begin())));
}

// The field's text without its trailing white space. Only the part before the
// first NUL counts: when it ends in white space the text is cut where that run
// begins, dropping whatever follows; otherwise the text is kept whole.
CString TrimTrailing(std::string_view text)
{
    const std::string_view beforeNul = text.substr(0, text.find('\0'));
    size_t end = beforeNul.size();
    while (end > 0 && IsWhiteSpace(beforeNul[end - 1]))
        --end;
    return CString(end < beforeNul.size() ? text.substr(0, end) : text);
}

// Leading and interior runs of blanks are kept as stored; trailing blanks go.
CString DropTrailingBlanks(std::string_view text)
{
    const size_t last = text.find_last_not_of(' ');
    return CString(last == std::string_view::npos ? std::string_view() : text.substr(0, last + 1));
}

// A dBase long: big-endian with the sign bit flipped.
CString FormatLong(const char* stored)
{
    const auto bits = Big<std::uint32_t, 4>(stored);
    if (bits == 0)
        return CString();
    CString text;
    text.Format("%d", static_cast<std::int32_t>(bits ^ 0x80000000u));
    return text;
}

// A dBase double: big-endian, with the sign bit set for positive values and
// every bit inverted for negative ones, so that the bytes sort as the numbers.
CString FormatDouble(const char* stored)
{
    auto bits = Big<std::uint64_t, 8>(stored);
    if (bits == 0)
        return CString();
    constexpr std::uint64_t kSign = 0x8000000000000000u;
    bits = (bits & kSign) ? bits & ~kSign : ~bits;
    double value;
    std::memcpy(&value, &bits, sizeof value);
    CString text;
    text.Format("%.2f", value);
    return text;
}

} // namespace

const CRuntimeClass* mDBase::GetRuntimeClass() const
{
    return &RuntimeClass;
}

mDBase::~mDBase()
{
    Close();
}

int mDBase::Open(const CString& path)
{
    if (IsOpen())
        return 0;
    CFileStatus status;
    if (!CFile::GetStatus(path, status))
        return 0;

    // Everything is read into locals first, so that a failure leaves the
    // table closed.
    auto file = std::make_unique<CFile>();
    file->Open(path, CFile::modeRead | CFile::shareExclusive);

    unsigned char header[kHeaderSize];
    if (file->Read(header, kHeaderSize) < kHeaderSize)
        ThrowNotATable(path);
    const std::uint32_t recordCount = Little32(header + 4);
    const auto headerLength = static_cast<std::uint16_t>(Little16(header + 8));
    const auto recordLength = static_cast<std::uint16_t>(Little16(header + 10));
    if (headerLength < kHeaderSize)
        ThrowNotATable(path);
    const auto fieldCount = static_cast<std::uint16_t>(headerLength / kDescriptorSize - 1);

    const unsigned tableSize = fieldCount * kDescriptorSize;
    const auto descriptors = std::make_unique<unsigned char[]>(tableSize);
    if (file->Read(descriptors.get(), tableSize) < tableSize)
        ThrowNotATable(path);

    auto fields = std::make_unique<FieldDescriptor[]>(fieldCount);
    std::uint32_t offset = 1;
    for (unsigned i = 0; i < fieldCount; ++i) {
        const unsigned char* d = descriptors.get() + i * kDescriptorSize;
        const auto* name = reinterpret_cast<const char*>(d);
        fields[i].Name = CString(name, static_cast<int>(strnlen(name, kNameSize)));
        fields[i].Type = static_cast<char>(d[11]);
        fields[i].Length = d[16];
        fields[i].Offset = offset;
        offset += d[16];
    }

    FileLength = file->GetLength();
    File = std::move(file);
    Fields = std::move(fields);
    Record = std::make_unique<char[]>(recordLength);
    std::fill_n(Record.get(), recordLength, ' ');
    RecordCount = recordCount;
    HeaderLength = headerLength;
    RecordLength = recordLength;
    FieldCount = fieldCount;
    CurrentRecord = 0;
    try {
        GoTo(1);
    } catch (const CFileException&) {
        Close();
        throw;
    }
    return 1;
}

void mDBase::Close()
{
    RecordCount = 0;
    HeaderLength = 0;
    FieldCount = 0;
    RecordLength = 0;
    CurrentRecord = 0;
    FileLength = 0;
    File.reset();
    Fields.reset();
    Record.reset();
}

int mDBase::GoTo(std::uint32_t n)
{
    if (!IsOpen() || n == 0 || n > RecordCount)
        return 0;
    const std::uint64_t offset = HeaderLength + std::uint64_t{n - 1} * RecordLength;
    unsigned got = 0;
    // A header may claim records far beyond the end of the file, further than
    // the file system can seek; those are read without touching the file.
    if (offset < FileLength) {
        File->Seek(static_cast<std::int64_t>(offset), CFile::begin);
        got = File->Read(Record.get(), RecordLength);
        File->Seek(static_cast<std::int64_t>(offset), CFile::begin);
    }
    // What the file does not deliver reads as blanks, never as the bytes of
    // the record before.
    std::fill(Record.get() + got, Record.get() + RecordLength, ' ');
    CurrentRecord = n;
    return 1;
}

int mDBase::MoveNext()
{
    return GoTo(CurrentRecord + 1);
}

const FieldDescriptor* mDBase::FieldAt(int i) const
{
    return i >= 0 && i < FieldCount ? &Fields[static_cast<size_t>(i)] : nullptr;
}

std::string_view mDBase::FieldBytes(const FieldDescriptor& field) const
{
    if (field.Offset >= RecordLength)
        return {};
    const size_t length = std::min<size_t>(field.Length, RecordLength - field.Offset);
    return { Record.get() + field.Offset, length };
}

CString mDBase::GetFieldText(int i) const
{
    const FieldDescriptor* field = FieldAt(i);
    if (!field || field->Type == 'I' || field->Type == 'O')
        return CString();
    return CString(FieldBytes(*field));
}

CString mDBase::GetExportText(int i) const
{
    const FieldDescriptor* field = FieldAt(i);
    if (!field || field->Type == 'I' || field->Type == 'O')
        return CString();
    const std::string_view bytes = FieldBytes(*field);
    switch (field->Type) {
    case 'N': return TrimLeading(bytes);
    case 'C': return TrimTrailing(bytes);
    default:  return CString(bytes);
    }
}

CString mDBase::GetDisplayText(int i) const
{
    const FieldDescriptor* field = FieldAt(i);
    if (!field)
        return CString();
    // The numbers take their full width whatever the field's declared length,
    // and show only when all of it lies inside the record.
    const auto fits = [&](unsigned width) {
        return field->Offset + width <= RecordLength;
    };
    switch (field->Type) {
    case 'I': return fits(4) ? FormatLong(Record.get() + field->Offset) : CString();
    case 'O': return fits(8) ? FormatDouble(Record.get() + field->Offset) : CString();
    default:  return DropTrailingBlanks(FieldBytes(*field));
    }
}
