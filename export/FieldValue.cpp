// The decoding of every field type into its typed value.
#include "export/FieldValue.h"

#include "framework/ByteSearch.h"
#include "table/mDBase.h"

#include <charconv>
#include <cmath>

ValueType ValueTypeOf(const FieldDescriptor& field)
{
    if (field.Memo == MemoUse::Text)
        return ValueType::MemoText;
    if (field.Memo == MemoUse::Binary)
        return ValueType::MemoBinary;
    if (field.Type == 'Q')
        return ValueType::InlineBinary;
    if (field.Kind == FieldKind::Number || field.Type == 'F')
        return field.Decimals > 0 ? ValueType::Decimal : ValueType::Whole;
    if (field.Type == 'D')
        return ValueType::Date;
    if (field.Type == 'L')
        return ValueType::Logical;
    switch (field.Kind) {
    case FieldKind::Integer:
    case FieldKind::Level7Long:
        return ValueType::Integer;
    case FieldKind::Double:
    case FieldKind::Level7Double:
        return ValueType::Double;
    case FieldKind::Currency:
        return ValueType::Currency;
    case FieldKind::DateTime:
        return ValueType::Timestamp;
    default:
        return field.IsCharacter() && field.Length > 0 ? ValueType::Characters : ValueType::OtherText;
    }
}

void ValueDecoder::Prepare(const mDBase& table)
{
    m_types.clear();
    m_plans.clear();
    for (int i = 0; i < table.GetFieldCount(); ++i) {
        const FieldDescriptor& field = table.GetField(i);
        const ValueType type = ValueTypeOf(field);
        const bool whole = std::uint64_t{ field.Offset } + field.Length <= table.GetRecordLength() &&
                           (!field.IsBinary() || field.Length >= BinaryWidth(field.Kind));
        m_types.push_back(type);
        m_plans.push_back({ type, field.Kind, whole && field.NullBit < 0 && field.Kind != FieldKind::VarCharacter,
                            field.Offset, field.Length });
    }
}

namespace {

using Is = FieldValue::Is;

void SetDecoded(FieldValue& value, Decoded decoded, Is is)
{
    value.What = decoded == Decoded::Value ? is : decoded == Decoded::Empty ? Is::None : Is::Invalid;
}

// A number written with an exponent ("1.5E+10", "-2e-3"), blanks around it:
// its double, and true, when it reads as a finite one.
bool DecodeExponent(std::string_view stored, double& value)
{
    const size_t first = stored.find_first_not_of(std::string_view(" \0", 2));
    if (first == std::string_view::npos)
        return false;
    std::string_view text = stored.substr(first, PaddedEnd(stored) - first);
    const size_t exponent = text.find_first_of("eE");
    if (exponent == std::string_view::npos)
        return false;
    if (text[0] == '+')
        text.remove_prefix(1); // from_chars takes no plus sign
    if (text.empty() || text[0] == '+')
        return false;
    const auto read = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::scientific);
    return read.ec == std::errc() && read.ptr == text.data() + text.size() && std::isfinite(value);
}

} // namespace

void ValueDecoder::Decode(const mDBase& table, int i, FieldValue& value)
{
    value.What = Is::None;
    value.Warning = ExportWarnings::InvalidValue;
    const Plan& plan = m_plans[static_cast<size_t>(i)];
    const ValueType type = plan.Type;
    const FieldKind kind = plan.Kind;
    std::string_view stored;
    if (plan.Direct) {
        stored = std::string_view(table.RecordBytes() + plan.Offset, plan.Width);
    } else {
        if (table.IsNullValue(i))
            return;
        stored = table.ValueView(i);
        // Binary values take their full width, whatever the field's declared
        // length; one that the record cuts short is no value.
        if (IsBinary(kind) && stored.size() < BinaryWidth(kind)) {
            value.What = Is::Invalid;
            return;
        }
    }
    switch (type) {
    case ValueType::Characters:
    case ValueType::OtherText:
        // The trailing blanks go, and the NULs some writers pad with.
        value.Bytes = stored.substr(0, PaddedEnd(stored));
        value.What = Is::Text;
        return;
    case ValueType::InlineBinary:
        value.Bytes = stored;
        value.What = Is::Bytes;
        return;
    case ValueType::Decimal:
    case ValueType::Whole: {
        const Decoded decoded = DecodeNumber(stored, value.Number);
        // Some writers put a double into a numeric field with an exponent.
        if (decoded == Decoded::Invalid && DecodeExponent(stored, value.Double)) {
            value.What = Is::Double;
            return;
        }
        SetDecoded(value, decoded, Is::Number);
        return;
    }
    case ValueType::Date:
        SetDecoded(value, DecodeDate(stored, value.Time.Date), Is::Date);
        value.Time.Milliseconds = 0;
        return;
    case ValueType::Logical:
        SetDecoded(value, DecodeLogical(stored, value.Logical), Is::Logical);
        return;
    case ValueType::Timestamp:
        SetDecoded(value, DecodeDateTime(stored.data(), value.Time), Is::DateTime);
        return;
    case ValueType::Double:
        if (DecodeDouble(kind, stored.data(), value.Double))
            value.What = Is::Double;
        return;
    case ValueType::Integer:
        if (kind == FieldKind::Integer) {
            value.Integer = static_cast<std::int32_t>(static_cast<std::uint32_t>(LittleEndian<4>(stored.data())));
        } else {
            // dBase level 7: big-endian with the sign bit flipped; all zero
            // bytes hold no value.
            const auto bits = static_cast<std::uint32_t>(BigEndian<4>(stored.data()));
            if (bits == 0)
                return;
            value.Integer = static_cast<std::int32_t>(bits ^ 0x80000000u);
        }
        value.What = Is::Integer;
        return;
    case ValueType::Currency:
        value.Integer = static_cast<std::int64_t>(LittleEndian<8>(stored.data()));
        value.What = Is::Currency;
        return;
    case ValueType::MemoText:
    case ValueType::MemoBinary:
        break;
    }
    if (!m_memo)
        return;
    value.BinaryMemo = type == ValueType::MemoBinary;
    std::uint64_t block = 0;
    switch (MemoBlockOf(kind, stored, block)) {
    case MemoPointer::None:
        return;
    case MemoPointer::Block:
        if (m_memo->Find(block, value.Memo)) {
            value.What = Is::Memo;
            return;
        }
        break;
    case MemoPointer::Invalid:
        break;
    }
    value.What = Is::Invalid;
    value.Warning = ExportWarnings::UnreadableMemo;
}
