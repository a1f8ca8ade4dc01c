#pragma once

// FieldDescriptor: one entry of a table's field table.

#include "framework/CString.h"
#include "table/TableFormat.h"

#include <cstdint>

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
