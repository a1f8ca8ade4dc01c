// mDBase: opening and closing a table, moving its cursor, and the renderings of its fields.

#include "table/mDBase.h"

#include "framework/ByteSearch.h"

#include <string>

const CRuntimeClass mDBase::RuntimeClass = MakeRuntimeClass<mDBase>("mDBase");

namespace {

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
        TableHeader::ThrowNotATable(path);

    // The header is read into a local first, so that a failure leaves the
    // table closed.
    auto file = std::make_unique<CFile>();
    file->Open(path, CFile::modeRead | CFile::shareExclusive);
    TableHeader header = TableHeader::Read(*file, path);
    try {
        Window.Open(std::move(file), path, header);
        Header = std::move(header);
        Path = path;
        RawTextIsRecord = FieldsFillTheRecord(Header.Fields(), Header.FieldCount(), Header.RecordLength());
        Record = Window.Spare();
        CurrentRecord = 0;
        GoTo(1);
    } catch (const CFileException&) {
        Close();
        throw;
    }
    return 1;
}

void mDBase::Close()
{
    CurrentRecord = 0;
    Record = nullptr;
    RawTextIsRecord = false;
    Window.Close();
    Header = TableHeader();
    Path.Empty();
}

int mDBase::GoTo(std::uint32_t n)
{
    if (!IsOpen() || n == 0 || n > Window.Count() || !Window.Load(n, Record))
        return 0;
    CurrentRecord = n;
    return 1;
}

int mDBase::MoveNext()
{
    // Compared first, so that the last of 4,294,967,295 records does not
    // wrap round to record 0.
    return CurrentRecord < Window.Count() ? GoTo(CurrentRecord + 1) : 0;
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
    return std::string_view(Record + 1, Header.RecordLength() - 1u);
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
    if (field->Offset + BinaryWidth(field->Kind) > Header.RecordLength())
        return;
    out.append(FormatBinary(field->Kind, Record + field->Offset).View());
}
