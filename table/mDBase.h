#pragma once

// mDBase: an open dBase table, its current record and the views of its fields.

#include "framework/CFile.h"
#include "framework/CObject.h"
#include "framework/CString.h"
#include "table/FieldDescriptor.h"
#include "table/FieldTrim.h"
#include "table/RecordWindow.h"
#include "table/TableFormat.h"
#include "table/TableHeader.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// One dBase table file, opened read-only and without sharing, with its field
// table (its TableHeader) and the current record, which GoTo serves in place
// from the table's RecordWindow. A compressed table (.dbc) is read as the
// .dbf it was, its records expanded as they are read. Hidden system fields
// (Visual FoxPro) have no entry in the field table; their bytes keep their
// place in the record.
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
    bool IsOpen() const { return Window.IsOpen(); }
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
    static constexpr size_t kViewSlack = RecordWindow::kSlack;
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

    std::uint32_t GetRecordCount() const { return Window.Count(); }
    std::uint32_t GetCurrentRecord() const { return CurrentRecord; }
    std::uint16_t GetHeaderLength() const { return Header.HeaderLength(); }
    std::uint16_t GetFieldCount() const { return Header.FieldCount(); }
    std::uint16_t GetRecordLength() const { return Header.RecordLength(); }
    // The version byte (offset 0): the family, and which memo file goes with it.
    std::uint8_t GetVersion() const { return Header.Version(); }
    // The language driver byte of the header (offset 29): the code page the
    // table's texts are in, when the program that wrote it said so.
    std::uint8_t GetLanguageDriver() const { return Header.LanguageDriver(); }
    // The database container a Visual FoxPro table belongs to, as its header
    // names it (relative to the table's folder); empty for a free table.
    const CString& GetBacklink() const { return Header.Backlink(); }
    // Entry i of the field table; i must be below GetFieldCount().
    const FieldDescriptor& GetField(int i) const { return Header.Fields()[static_cast<size_t>(i)]; }

private:
    // Inline: the export asks for them for every field of every record.
    const FieldDescriptor* FieldAt(int i) const
    {
        return i >= 0 && i < Header.FieldCount() ? &Header.Fields()[static_cast<size_t>(i)] : nullptr;
    }
    // The bytes of a field that lie inside the record buffer.
    std::string_view FieldBytes(const FieldDescriptor& field) const
    {
        const std::uint16_t recordLength = Header.RecordLength();
        if (field.Offset >= recordLength)
            return {};
        const size_t length = std::min<size_t>(field.Length, recordLength - field.Offset);
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
        const std::string_view flags = FieldBytes(Header.NullFlags());
        const auto at = static_cast<size_t>(bit / 8);
        return at < flags.size() && (static_cast<unsigned char>(flags[at]) >> (bit % 8) & 1u);
    }
    bool IsNull(const FieldDescriptor& field) const { return FlagSet(field.NullBit); }

    TableHeader Header;
    RecordWindow Window;
    CString Path;
    // The cursor: the loaded record's number, 0 before any, and its bytes,
    // in the window or, while the window is filled again, in its spare
    // buffer (a read that fails leaves it as it was).
    std::uint32_t CurrentRecord = 0;
    const char* Record = nullptr;
    bool RawTextIsRecord = false; // see RecordTextView
};
