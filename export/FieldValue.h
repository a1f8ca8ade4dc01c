#pragma once

// The typed value of a field of a record, as every typed output reads it.
// Classes: FieldValue, ValueDecoder.

#include "export/ExportWarnings.h"
#include "table/MemoFile.h"
#include "table/TableFormat.h"

#include <cstdint>
#include <string_view>
#include <vector>

class mDBase;
struct FieldDescriptor;

// What a field's values are, decided once from its descriptor.
enum class ValueType : std::uint8_t {
    Characters, // "C" and "V" with a length: trailing blanks trimmed
    OtherText,  // any other type kept as text, and "C" of length 0
    Decimal,    // "N" and "F" with decimals
    Whole,      // "N" and "F" without
    Date, Logical, Integer, Double, Currency, Timestamp,
    MemoText, MemoBinary, InlineBinary,
};
ValueType ValueTypeOf(const FieldDescriptor& field);

// One value of a field. Views are into the loaded record, valid until the
// record changes.
struct FieldValue {
    enum class Is : std::uint8_t {
        None,     // blank, null, "?", a memo pointer of no memo
        Invalid,  // not what the type says; Warning tells how it is counted
        Text,     // Bytes in the table's code page, trailing blanks and NULs gone
        Bytes,    // Bytes as stored: a binary value
        Number,   // Number, with its stored digits
        Double,   // Double: may be infinite or NaN
        Integer,  // Integer
        Currency, // Integer, in ten-thousandths
        Date,     // Time.Date
        DateTime, // Time
        Logical,  // Logical
        Memo,     // Memo, in the memo file; BinaryMemo for a binary field
    };
    Is What = Is::None;
    ExportWarnings::Kind Warning = ExportWarnings::InvalidValue;
    std::string_view Bytes;
    DecimalNumber Number;
    double Double = 0;
    std::int64_t Integer = 0;
    DateTime Time{};
    bool Logical = false;
    bool BinaryMemo = false;
    MemoFile::Memo Memo; // Memo.Type: a text, or a picture or object
};

// Decodes the fields of a table's loaded record: one decoding of every type,
// for every output that keeps types. Memos are found in the memo file given;
// without one, a memo field has no value.
class ValueDecoder {
public:
    void SetMemoFile(MemoFile* memo) { m_memo = memo; }
    // The types of the table's fields, before its first record is decoded.
    void Prepare(const mDBase& table);
    ValueType TypeOf(int field) const { return m_types[static_cast<size_t>(field)]; }

    // Field i of the table's loaded record.
    void Decode(const mDBase& table, int i, FieldValue& value);

private:
    // How field i's bytes are found, decided once: most fields lie whole in
    // every record, with no null flag and no length of their own.
    struct Plan {
        ValueType Type;
        FieldKind Kind;
        bool Direct;
        std::uint32_t Offset;
        std::uint32_t Width;
    };
    std::vector<ValueType> m_types;
    std::vector<Plan> m_plans;
    MemoFile* m_memo = nullptr;
};
