#pragma once

#include "framework/CFile.h"
#include "framework/CObject.h"
#include "framework/CString.h"
#include "table/TableFormat.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// One entry of the field table: a field that the list and the export show.
struct FieldDescriptor {
    CString Name;
    std::uint8_t Length = 0;
    std::uint8_t Decimals = 0;
    std::uint32_t Offset = 0; // within the record; the first field is at 1, after the deletion flag
    char Type = 0;            // the type letter: 'C', 'N', 'D', 'I', 'O', 'B', 'T', ...
    FieldKind Kind = FieldKind::Text;
    // Bits of the record's null flags (Visual FoxPro); -1 when the field has none.
    std::int16_t NullBit = -1;
    std::int16_t VarLengthBit = -1;

    // Stored in binary: no raw text; its display text goes into every export.
    bool IsBinary() const { return ::IsBinary(Kind); }
    // Text that the comma-separated layout quotes.
    bool IsCharacter() const { return Kind == FieldKind::Character || Kind == FieldKind::VarCharacter; }
};

// One dBase table file, opened read-only and without sharing, with its field
// table and a buffer that holds one record. Records are read from the file on
// every GoTo; nothing else is kept in memory. Hidden system fields (Visual
// FoxPro) have no entry in the field table; their bytes keep their place in
// the record.
class mDBase : public CObject {
public:
    using Base = CObject;
    static const CRuntimeClass RuntimeClass;
    const CRuntimeClass* GetRuntimeClass() const override;

    mDBase() = default;
    ~mDBase() override;
    mDBase(const mDBase&) = delete;
    mDBase& operator=(const mDBase&) = delete;

    // 1 when the table is open, 0 when a table is already open or the path
    // names nothing. A file that cannot be opened, read, or be a table raises
    // CFileException and leaves the table closed. RecordCount is what the
    // header claims, or the records the file holds when it holds fewer.
    int Open(const CString& path);
    void Close();
    bool IsOpen() const { return File != nullptr; }

    // Loads record n (1-based) into the record buffer; 0 and nothing changes
    // when closed or when n is 0 or beyond RecordCount.
    int GoTo(std::uint32_t n);
    int MoveNext();

    // The three renderings of field i of the loaded record; empty for an
    // index outside the field table.
    CString GetFieldText(int i) const;   // raw bytes, as stored
    CString GetExportText(int i) const;  // trimmed for the separated exports
    CString GetDisplayText(int i) const; // for a list cell
    // The same renderings appended to out, for the export's line buffer.
    void AppendFieldText(int i, std::string& out) const;
    void AppendExportText(int i, std::string& out) const;
    void AppendDisplayText(int i, std::string& out) const;
    // The width of field i's raw text in every record: 0 for a binary field.
    int GetFieldWidth(int i) const;

    std::uint32_t GetRecordCount() const { return RecordCount; }
    std::uint32_t GetCurrentRecord() const { return CurrentRecord; }
    std::uint16_t GetHeaderLength() const { return HeaderLength; }
    std::uint16_t GetFieldCount() const { return FieldCount; }
    std::uint16_t GetRecordLength() const { return RecordLength; }
    // The language driver byte of the header (offset 29): the code page the
    // table's texts are in, when the program that wrote it said so.
    std::uint8_t GetLanguageDriver() const { return LanguageDriver; }
    // Entry i of the field table; i must be below GetFieldCount().
    const FieldDescriptor& GetField(int i) const { return Fields[static_cast<size_t>(i)]; }

private:
    const FieldDescriptor* FieldAt(int i) const;
    // The bytes of a field that lie inside the record buffer.
    std::string_view FieldBytes(const FieldDescriptor& field) const;
    // The bytes of a field's value: a variable-length field's own length.
    std::string_view ValueBytes(const FieldDescriptor& field) const;
    bool FlagSet(std::int16_t bit) const;
    bool IsNull(const FieldDescriptor& field) const { return FlagSet(field.NullBit); }

    std::uint32_t RecordCount = 0;
    std::uint32_t CurrentRecord = 0;
    std::uint16_t HeaderLength = 0;
    std::uint16_t FieldCount = 0;
    std::uint16_t RecordLength = 0;
    std::uint8_t LanguageDriver = 0;
    std::unique_ptr<CFile> File;
    std::unique_ptr<FieldDescriptor[]> Fields;
    FieldDescriptor NullFlags; // the hidden "_NullFlags" field; length 0 when there is none
    std::unique_ptr<char[]> Record;
};
