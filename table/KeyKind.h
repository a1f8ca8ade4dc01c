#pragma once

// The kinds of key a table's columns may carry, as found in a database and
// as a script declares them. Enum: KeyKind.

#include <cstdint>

enum class KeyKind : std::uint8_t { Primary, Unique, Index, Foreign };
