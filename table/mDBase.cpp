#include "table/mDBase.h"

#include "framework/BackgroundTask.h"
#include "framework/ByteSearch.h"
#include "table/CompressedTable.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <vector>

const CRuntimeClass mDBase::RuntimeClass = MakeRuntimeClass<mDBase>("mDBase");

namespace {

constexpr unsigned kHeaderSize = 32; // the part every family shares
constexpr unsigned char kFieldTerminator = 0x0D;
// The read-ahead window's size: large reads, small memory.
constexpr unsigned kWindowBytes = 256 * 1024;
constexpr size_t kBacklinkSize = 263;

[[noreturn]] void ThrowNotATable(const CString& path)
{
    throw CFileException(CFileException::invalidFile, path, 0,
                         "El archivo %s no es una tabla dBase v\xE1lida.");
}

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

// The records that begin inside size bytes after the header, the last one
// only when more than its first byte is there (a lone final byte is the
// end-of-file marker).
std::uint64_t HeldRecords(std::uint64_t size, std::uint16_t recordLength)
{
    return size > 1 ? (size - 2) / recordLength + 1 : 0;
}

// Whether the fields' raw texts, one after another, are exactly the record's
// bytes after its deletion flag.
bool FieldsFillTheRecord(const FieldDescriptor* fields, std::uint16_t count, std::uint16_t recordLength)
{
    std::uint32_t next = 1;
    for (const FieldDescriptor* field = fields; field != fields + count; ++field) {
        if (field->Offset != next || field->IsBinary() || field->Kind == FieldKind::VarCharacter)
            return false;
        next += field->Length;
    }
    return next == recordLength;
}

} // namespace

// The window after a full one, read on a thread of its own while a walk goes
// through that one: the system's copying of the table into memory, or the
// expansion of a compressed table, takes place beside the reader's work.
// The source is read by one thread at a time: the reader takes the window
// read ahead, or waits for it, before it reads the source itself. A read
// that fails raises its CFileException when its window is taken, where the
// reader's own read would have.
class mDBase::ReadAhead {
public:
    ReadAhead(RecordSource& source, size_t windowBytes)
        : m_source(source), m_window(std::make_unique<char[]>(windowBytes))
    {
        std::fill_n(m_window.get(), windowBytes, ' ');
    }

    // Reads count records from record first on, at offset, meanwhile.
    void Start(std::uint32_t first, std::uint32_t count, std::uint64_t offset, unsigned bytes)
    {
        m_first = first;
        m_count = count;
        m_started = true;
        m_reading.Start([this, offset, bytes] { m_got = m_source.Read(offset, m_window.get(), bytes); });
    }
    // The records asked for, if they are those read ahead: their window
    // takes the place of `window`, and `got` is how many bytes were read.
    // Otherwise false, and nothing reads the source any more.
    bool Take(std::uint32_t first, std::uint32_t count, std::unique_ptr<char[]>& window, unsigned& got)
    {
        const std::exception_ptr failure = m_reading.Finish();
        const bool held = m_started && m_first == first && m_count == count;
        m_started = false;
        if (!held)
            return false;
        if (failure)
            std::rethrow_exception(failure);
        window.swap(m_window);
        got = m_got;
        return true;
    }

private:
    RecordSource& m_source;
    std::unique_ptr<char[]> m_window;
    std::uint32_t m_first = 0, m_count = 0;
    unsigned m_got = 0;
    bool m_started = false;
    BackgroundTask m_reading; // last: its task uses the rest
};

const CRuntimeClass* mDBase::GetRuntimeClass() const
{
    return &RuntimeClass;
}

mDBase::mDBase() = default;

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
    // A folder, a pipe or a device is never opened: reading a pipe or a
    // device could wait for ever.
    if (!status.m_isRegular)
        ThrowNotATable(path);

    // Everything is read into locals first, so that a failure leaves the
    // table closed.
    auto file = std::make_unique<CFile>();
    file->Open(path, CFile::modeRead | CFile::shareExclusive);

    unsigned char start[kHeaderSize];
    if (file->Read(start, kHeaderSize) < kHeaderSize)
        ThrowNotATable(path);
    const auto recordCount = static_cast<std::uint32_t>(LittleEndian<4>(start + 4));
    const auto headerLength = static_cast<std::uint16_t>(LittleEndian<2>(start + 8));
    const auto recordLength = static_cast<std::uint16_t>(LittleEndian<2>(start + 10));

    // The whole header, up to where record 1 begins: the version byte and
    // where the field table ends tell the family, and with it the size of
    // the fixed header and where the descriptors keep their parts.
    std::vector<unsigned char> header(std::max<size_t>(headerLength, kHeaderSize));
    std::copy_n(start, kHeaderSize, header.begin());
    const size_t got = kHeaderSize + file->Read(header.data() + kHeaderSize,
                                                static_cast<unsigned>(header.size() - kHeaderSize));
    const TableFamily family =
        FamilyOf(std::string_view(reinterpret_cast<const char*>(header.data()), got));
    const HeaderLayout& layout = LayoutOf(family);
    // A record holds at least its deletion flag.
    if (headerLength < layout.HeaderSize || got < layout.HeaderSize || recordLength == 0)
        ThrowNotATable(path);

    // Descriptors fill the header up to HeaderLength at most; the field
    // table ends earlier at its terminator, before anything a program keeps
    // after it (such as Visual FoxPro's backlink).
    const unsigned slots = (headerLength - layout.HeaderSize) / layout.DescriptorSize;
    FieldTable table;
    if (!ReadFieldTable(family, header.data() + layout.HeaderSize, got - layout.HeaderSize, slots,
                        recordLength, table))
        ThrowNotATable(path);
    const auto fieldCount = static_cast<std::uint16_t>(table.Visible.size());
    auto fields = std::make_unique<FieldDescriptor[]>(fieldCount);
    std::move(table.Visible.begin(), table.Visible.end(), fields.get());

    std::unique_ptr<RecordSource> records;
    const std::string_view headerRead(reinterpret_cast<const char*>(header.data()), got);
    if (CompressedTable::IsCompressed(path, headerRead))
        records = std::make_unique<CompressedTable>(std::move(file), path, headerRead.substr(0, headerLength),
                                                    recordCount, recordLength);
    else
        records = std::make_unique<FileRecords>(std::move(file), headerLength);
    // A header may claim more records than the file holds: only those that
    // begin inside it count.
    const std::uint64_t held = HeldRecords(records->Size(), recordLength);

    Records = std::move(records);
    Path = path;
    Fields = std::move(fields);
    NullFlags = table.NullFlags;
    Kept = std::make_unique<char[]>(recordLength + kViewSlack);
    Version = header[0];
    LanguageDriver = header[29];
    // Visual FoxPro keeps the path of the table's database container in
    // the 263 bytes after the terminator; blank in a free table.
    if (family == TableFamily::VisualFoxPro) {
        const size_t at = std::min(layout.HeaderSize + table.End + 1, got);
        const auto* link = reinterpret_cast<const char*>(header.data() + at);
        Backlink = CString(link, static_cast<int>(strnlen(link, std::min<size_t>(kBacklinkSize, got - at))));
    }
    RawTextIsRecord = FieldsFillTheRecord(Fields.get(), fieldCount, recordLength);
    std::fill_n(Kept.get(), recordLength + kViewSlack, ' ');
    Record = Kept.get();
    RecordCount = static_cast<std::uint32_t>(std::min<std::uint64_t>(recordCount, held));
    HeaderLength = headerLength;
    RecordLength = recordLength;
    FieldCount = fieldCount;
    CurrentRecord = 0;
    WindowRecords = std::max(1u, kWindowBytes / recordLength);
    const size_t windowBytes = size_t{ WindowRecords } * recordLength + kViewSlack;
    Window = std::make_unique<char[]>(windowBytes);
    std::fill_n(Window.get(), windowBytes, ' ');
    try {
        // Record 1 alone: opening reads no more than the header, the field
        // table and the first record (and checks the end of a table that
        // has none).
        Fill(1, std::min(RecordCount, 1u));
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
    Version = 0;
    LanguageDriver = 0;
    Backlink.Empty();
    RawTextIsRecord = false;
    CurrentRecord = 0;
    Ahead.reset(); // before the source it reads
    Records.reset();
    Path.Empty();
    Fields.reset();
    NullFlags = FieldDescriptor();
    Record = nullptr;
    Kept.reset();
    Window.reset();
    WindowRecords = 0;
    WindowFirst = 0;
    WindowCount = 0;
}

int mDBase::GoTo(std::uint32_t n)
{
    if (!IsOpen() || n == 0 || n > RecordCount)
        return 0;
    // Windows lie on fixed boundaries, so that a walk backwards is served
    // as well as one forwards.
    if (n < WindowFirst || n - WindowFirst >= WindowCount) {
        // The loaded record moves out of the window's way first.
        if (Record != Kept.get()) {
            std::copy_n(Record, RecordLength, Kept.get());
            Record = Kept.get();
        }
        const std::uint32_t first = (n - 1) / WindowRecords * WindowRecords + 1;
        Fill(first, std::min(WindowRecords, RecordCount - first + 1));
        if (n > RecordCount)
            return 0;
    }
    Record = Window.get() + size_t{ n - WindowFirst } * RecordLength;
    CurrentRecord = n;
    return 1;
}

void mDBase::Fill(std::uint32_t first, std::uint32_t count)
{
    // Emptied first, so that a read that fails leaves no window half filled.
    WindowCount = 0;
    const size_t bytes = size_t{ count } * RecordLength;
    const unsigned got = ReadWindow(first, count);
    // A compressed table's records may end before its header says: the
    // stream tells only once it has ended.
    if (got < bytes)
        RecordCount = static_cast<std::uint32_t>(
            std::min<std::uint64_t>(RecordCount, HeldRecords(Records->Size(), RecordLength)));
    // The part of a last record that the file cuts short reads as blanks,
    // never as the bytes of the record before.
    std::fill(Window.get() + got, Window.get() + bytes, ' ');
    const std::uint32_t held = RecordCount >= first ? std::min(count, RecordCount - first + 1) : 0;
    if (std::uint64_t{ first } + held > RecordCount)
        Records->CheckEnd();
    WindowFirst = first;
    WindowCount = held;
    // A full window with records after it: the next, meanwhile.
    const std::uint64_t next = std::uint64_t{ first } + count;
    if (count == WindowRecords && held == count && next <= RecordCount) {
        if (!Ahead)
            Ahead = std::make_unique<ReadAhead>(*Records, size_t{ WindowRecords } * RecordLength + kViewSlack);
        const auto nextCount = static_cast<std::uint32_t>(std::min<std::uint64_t>(WindowRecords, RecordCount - next + 1));
        Ahead->Start(static_cast<std::uint32_t>(next), nextCount, (next - 1) * RecordLength,
                     static_cast<unsigned>(size_t{ nextCount } * RecordLength));
    }
}

unsigned mDBase::ReadWindow(std::uint32_t first, std::uint32_t count)
{
    unsigned got = 0;
    if (Ahead && Ahead->Take(first, count, Window, got))
        return got;
    return Records->Read(std::uint64_t{ first - 1 } * RecordLength, Window.get(),
                         static_cast<unsigned>(size_t{ count } * RecordLength));
}

int mDBase::MoveNext()
{
    // Compared first, so that the last of 4,294,967,295 records does not
    // wrap round to record 0.
    return CurrentRecord < RecordCount ? GoTo(CurrentRecord + 1) : 0;
}

CString mDBase::GetFieldText(int i) const
{
    const StoredText text = FieldTextView(i);
    CString rendered(text.Bytes);
    if (text.Padding > 0)
        rendered += CString(' ', static_cast<int>(text.Padding));
    return rendered;
}

CString mDBase::GetExportText(int i) const
{
    return CString(ExportTextView(i));
}

CString mDBase::GetDisplayText(int i) const
{
    std::string text;
    AppendDisplayText(i, text);
    return CString(std::string_view(text));
}

int mDBase::GetFieldWidth(int i) const
{
    const FieldDescriptor* field = FieldAt(i);
    return field && !field->IsBinary() ? static_cast<int>(FieldBytes(*field).size()) : 0;
}

MemoPointer mDBase::GetMemoBlock(int i, std::uint64_t& block) const
{
    const FieldDescriptor* field = FieldAt(i);
    block = 0;
    if (!field || field->Memo == MemoUse::None)
        return MemoPointer::None;
    return MemoBlockOf(field->Kind, FieldBytes(*field), block);
}

mDBase::StoredText mDBase::FieldTextView(int i) const
{
    const FieldDescriptor* field = FieldAt(i);
    if (!field || field->IsBinary())
        return {};
    // A variable-length value padded to the field's width, so that the
    // fixed-length lines keep their layout; null values stay as stored.
    const std::string_view value = ValueBytes(*field);
    return { value, FieldBytes(*field).size() - value.size() };
}

std::optional<std::string_view> mDBase::RecordTextView() const
{
    if (!RawTextIsRecord)
        return std::nullopt;
    return std::string_view(Record + 1, RecordLength - 1u);
}

void mDBase::AppendDisplayText(int i, std::string& out) const
{
    const FieldDescriptor* field = FieldAt(i);
    if (!field || IsNull(*field))
        return;
    if (!field->IsBinary()) {
        out.append(DropTrailingBlanks(ValueBytes(*field)));
        return;
    }
    // Binary values take their full width whatever the field's declared
    // length, and show only when all of it lies inside the record.
    if (field->Offset + BinaryWidth(field->Kind) > RecordLength)
        return;
    out.append(FormatBinary(field->Kind, Record + field->Offset).View());
}
