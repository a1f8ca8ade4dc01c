#pragma once

// TableHeader: a table's fixed header and field table, read as it opens.

#include "framework/CFile.h"
#include "framework/CString.h"
#include "table/FieldDescriptor.h"

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

// The header of a dBase table of any family (dBase III, Visual FoxPro,
// dBase level 7; a compressed table's is that of the .dbf it was): the
// counts and lengths of its fixed part and its field table, each field with
// its place in the record. Hidden system fields (Visual FoxPro) have no
// entry in the field table; their bytes keep their place in the record.
// A default header is a closed table's: no fields, every count 0.
class TableHeader {
public:
    // Reads the header from the start of file, which path opened. A file
    // that cannot be read, or cannot be a table, raises CFileException.
    static TableHeader Read(CFile& file, const CString& path);
    // The refusal of a file that cannot be a table.
    [[noreturn]] static void ThrowNotATable(const CString& path);

    // The record count the header claims: the file may hold fewer.
    std::uint32_t ClaimedRecords() const { return m_claimedRecords; }
    // Where record 1 begins.
    std::uint16_t HeaderLength() const { return m_headerLength; }
    std::uint16_t RecordLength() const { return m_recordLength; }
    // The version byte (offset 0): the family, and which memo file goes with it.
    std::uint8_t Version() const { return m_version; }
    // The language driver byte (offset 29).
    std::uint8_t LanguageDriver() const { return m_languageDriver; }
    // The database container a Visual FoxPro table belongs to, as its header
    // names it; empty for a free table.
    const CString& Backlink() const { return m_backlink; }
    // The field table: FieldCount() entries.
    std::uint16_t FieldCount() const { return m_fieldCount; }
    const FieldDescriptor* Fields() const { return m_fields.get(); }
    // The hidden "_NullFlags" field; length 0 when there is none.
    const FieldDescriptor& NullFlags() const { return m_nullFlags; }
    // The header's bytes as the file holds them: up to where record 1
    // begins, or fewer where the file ends before.
    std::string_view Bytes() const
    {
        return { reinterpret_cast<const char*>(m_bytes.data()), m_bytes.size() };
    }

private:
    std::vector<unsigned char> m_bytes;
    std::unique_ptr<FieldDescriptor[]> m_fields;
    FieldDescriptor m_nullFlags;
    CString m_backlink;
    std::uint32_t m_claimedRecords = 0;
    std::uint16_t m_headerLength = 0;
    std::uint16_t m_recordLength = 0;
    std::uint16_t m_fieldCount = 0;
    std::uint8_t m_version = 0;
    std::uint8_t m_languageDriver = 0;
};
