#pragma once

// The values an export could not write as stored. Classes: ExportWarnings.

#include <cstdint>

// Values an export could not write as stored, counted by kind with the first
// of each kind, for the command to report when the table is done.
struct ExportWarnings {
    enum Kind {
        UnreadableMemo, // a memo pointer or length past the memo file's end, or no number
        InvalidValue,   // not what its field's type says; written as NULL
        UnmappedByte,   // no character in the table's code page; written as U+FFFD
        kKinds
    };
    struct Tally {
        std::uint64_t Count = 0;
        std::uint32_t Record = 0; // the first one's record and field index
        int Field = -1;
    };
    Tally Of[kKinds];
};
