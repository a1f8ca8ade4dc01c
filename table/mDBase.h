#pragma once

#include "framework/CFile.h"
#include "framework/CObject.h"
#include "framework/CString.h"
#include "table/FieldTrim.h"
#include "table/RecordSource.h"
#include "table/TableFormat.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// One entry of the field table: a field that the list and the export show.
struct FieldDescriptor {
    CString Name;
    std::uint16_t Length = 0; // a "C" field may take its high byte from the decimal count
    std::uint8_t Decimals = 0;
    std::uint32_t Offset = 0; // within the record; the first field is at 1, after the deletion flag
    char Type = 0;            // the type letter: 'C', 'N', 'D', 'I', 'O', 'B', 'T', ...
    FieldKind Kind = FieldKind::Text;
    MemoUse Memo = MemoUse::None;
    // Bits of the record's null flags (Visual FoxPro); -1 when the field has none.
    std::int16_t NullBit = -1;
    std::int16_t VarLengthBit = -1;

    // Stored in binary: no raw text; its display text goes into every export.
    bool IsBinary() const { return ::IsBinary(Kind); }
    // Text that the comma-separated layout quotes.
    bool IsCharacter() const { return Kind == FieldKind::Character || Kind == FieldKind::VarCharacter; }
};

// One dBase table file, opened read-only and without sharing, with its field
// table and the current record. A compressed table (.dbc) is read as the
// .dbf it was, its records expanded as they are read. GoTo serves records
// in place from a read-ahead window of at most 256 KiB of neighbouring
// records, so that a walk through the table, or the cells of the rows the
// list shows, cost one read per window rather than one per record, and no
// copy of each record; the window after it is read meanwhile, on a thread
// of its own. Hidden system fields (Visual FoxPro) have no entry in the
// field table; their bytes keep their place in the record.
class mDBase : public CObject {
public:
    using Base = CObject;
    static const CRuntimeClass RuntimeClass;
    const CRuntimeClass* GetRuntimeClass() const override;

    mDBase();
    ~mDBase() override;
    mDBase(const mDBase&) = delete;
    mDBase& operator=(const mDBase&) = delete;

    // 1 when the table is open, 0 when a table is already open or the path
    // names nothing. A file that cannot be opened, read, or be a table raises
    // CFileException and leaves the table closed. RecordCount is what the
    // header claims, or the records the file holds when it holds fewer; a
    // compressed table's, until its stream ends early.
    int Open(const CString& path);
    void Close();
    bool IsOpen() const { return Records != nullptr; }
    // The path the open table was opened by; empty when closed.
    const CString& GetPath() const { return Path; }

    // Loads record n (1-based) into the record buffer; 0 and nothing changes
    // when closed or when n is 0 or beyond RecordCount. Reading up to the last
    // record checks a compressed table's end: damage raises CFileException.
    int GoTo(std::uint32_t n);
    int MoveNext();

    // The three renderings of field i of the loaded record; empty for an
    // index outside the field table.
    CString GetFieldText(int i) const;   // raw bytes, as stored
    CString GetExportText(int i) const;  // trimmed for the separated exports
    CString GetDisplayText(int i) const; // for a list cell
    // The raw and export texts as views into the loaded record, for the
    // export's inner loop; empty for a binary field. The raw text is Bytes
    // followed by Padding blanks. Every view may be read kViewSlack bytes from
    // its start, whatever its length: the record buffer has that much room
    // after the record, so that short texts can be copied in whole words.
    static constexpr size_t kViewSlack = 32;
    struct StoredText {
        std::string_view Bytes;
        size_t Padding = 0;
    };
    StoredText FieldTextView(int i) const;
    // The raw texts of all fields, one after another, when they are simply
    // the record's bytes after its deletion flag (no binary, variable-length
    // or hidden field, none past the end of the record).
    std::optional<std::string_view> RecordTextView() const;
    std::string_view ExportTextView(int i) const
    {
        const FieldDescriptor* field = FieldAt(i);
        return field ? ExportText(*field) : std::string_view();
    }
    // The same of a field of the field table: the export's inner loop.
    ORVALIS_ALWAYS_INLINE std::string_view ExportText(const FieldDescriptor& field) const
    {
        if (field.IsBinary() || IsNull(field))
            return {};
        const std::string_view bytes = ValueBytes(field);
        switch (field.Kind) {
        case FieldKind::Number:       return TrimLeading(bytes);
        case FieldKind::Character:
        case FieldKind::VarCharacter: return TrimTrailing(bytes);
        default:                      return bytes;
        }
    }
    // The display text appended to out: binary values need formatting.
    void AppendDisplayText(int i, std::string& out) const;
    // The width of field i's raw text in every record: 0 for a binary field.
    int GetFieldWidth(int i) const;

    // The loaded record's deletion flag is "*".
    bool IsDeleted() const { return CurrentRecord != 0 && Record[0] == '*'; }
    // The bytes of a field of this table inside the loaded record, for the
    // export's inner loop: a variable-length field's value is ValueView's.
    std::string_view FieldView(const FieldDescriptor& field) const { return FieldBytes(field); }
    // The loaded record itself, its deletion flag first: GetRecordLength()
    // bytes, and kViewSlack more that may be read. A field lies at its
    // Offset from it in every record.
    const char* RecordBytes() const { return Record; }
    // Field i of the loaded record is null (Visual FoxPro's null flags).
    bool IsNullValue(int i) const
    {
        const FieldDescriptor* field = FieldAt(i);
        return field && IsNull(*field);
    }
    // The stored bytes of field i's value inside the loaded record, binary
    // or not: a variable-length value's own bytes. Empty outside the table.
    std::string_view ValueView(int i) const
    {
        const FieldDescriptor* field = FieldAt(i);
        return field ? ValueBytes(*field) : std::string_view();
    }
    // Where field i's memo begins in the memo file; its field keeps one.
    MemoPointer GetMemoBlock(int i, std::uint64_t& block) const;

    std::uint32_t GetRecordCount() const { return RecordCount; }
    std::uint32_t GetCurrentRecord() const { return CurrentRecord; }
    std::uint16_t GetHeaderLength() const { return HeaderLength; }
    std::uint16_t GetFieldCount() const { return FieldCount; }
    std::uint16_t GetRecordLength() const { return RecordLength; }
    // The version byte (offset 0): the family, and which memo file goes with it.
    std::uint8_t GetVersion() const { return Version; }
    // The language driver byte of the header (offset 29): the code page the
    // table's texts are in, when the program that wrote it said so.
    std::uint8_t GetLanguageDriver() const { return LanguageDriver; }
    // The database container a Visual FoxPro table belongs to, as its header
    // names it (relative to the table's folder); empty for a free table.
    const CString& GetBacklink() const { return Backlink; }
    // Entry i of the field table; i must be below GetFieldCount().
    const FieldDescriptor& GetField(int i) const { return Fields[static_cast<size_t>(i)]; }

private:
    // Inline: the export asks for them for every field of every record.
    const FieldDescriptor* FieldAt(int i) const
    {
        return i >= 0 && i < FieldCount ? &Fields[static_cast<size_t>(i)] : nullptr;
    }
    // The bytes of a field that lie inside the record buffer.
    std::string_view FieldBytes(const FieldDescriptor& field) const
    {
        if (field.Offset >= RecordLength)
            return {};
        const size_t length = std::min<size_t>(field.Length, RecordLength - field.Offset);
        return { Record + field.Offset, length };
    }
    // The bytes of a field's value: a variable-length field's own length.
    std::string_view ValueBytes(const FieldDescriptor& field) const
    {
        const std::string_view bytes = FieldBytes(field);
        // A variable-length character value keeps its length in the field's
        // last byte, which is never part of the text.
        if (field.Kind != FieldKind::VarCharacter || !FlagSet(field.VarLengthBit) ||
            bytes.size() != field.Length || bytes.empty())
            return bytes;
        const auto length = static_cast<unsigned char>(bytes.back());
        return bytes.substr(0, std::min<size_t>(length, bytes.size() - 1));
    }
    bool FlagSet(std::int16_t bit) const
    {
        if (bit < 0)
            return false;
        const std::string_view flags = FieldBytes(NullFlags);
        const auto at = static_cast<size_t>(bit / 8);
        return at < flags.size() && (static_cast<unsigned char>(flags[at]) >> (bit % 8) & 1u);
    }
    bool IsNull(const FieldDescriptor& field) const { return FlagSet(field.NullBit); }
    // Reads count records from record first on into the window: fewer where
    // the records end, which lowers RecordCount.
    void Fill(std::uint32_t first, std::uint32_t count);
    // The bytes of count records from record first on, into the window.
    unsigned ReadWindow(std::uint32_t first, std::uint32_t count);

    std::uint32_t RecordCount = 0;
    std::uint32_t CurrentRecord = 0;
    std::uint16_t HeaderLength = 0;
    std::uint16_t FieldCount = 0;
    std::uint16_t RecordLength = 0;
    std::uint8_t Version = 0;
    std::uint8_t LanguageDriver = 0;
    bool RawTextIsRecord = false; // see RecordTextView
    std::unique_ptr<RecordSource> Records;
    CString Path;
    CString Backlink;
    std::unique_ptr<FieldDescriptor[]> Fields;
    FieldDescriptor NullFlags; // the hidden "_NullFlags" field; length 0 when there is none
    // The loaded record: in the window, or in Kept while the window is
    // filled again (a read that fails leaves it as it was).
    const char* Record = nullptr;
    std::unique_ptr<char[]> Kept;
    // Records WindowFirst to WindowFirst + WindowCount - 1 as the file holds
    // them, and kViewSlack blanks after the last the window can hold. The
    // file is held without sharing while open, so its bytes cannot change
    // under this cache.
    std::unique_ptr<char[]> Window;
    std::uint32_t WindowRecords = 0; // the most records the window holds
    std::uint32_t WindowFirst = 0;
    std::uint32_t WindowCount = 0;
    // The window after a full one, read on a thread of its own while the
    // records of that one are gone through; none for a table of one window.
    class ReadAhead;
    std::unique_ptr<ReadAhead> Ahead;
};
