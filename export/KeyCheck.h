#pragma once

// Checking a database's keys against its tables' data. Classes: KeyCheck.

#include "table/DatabaseKeys.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class SqlKeyValues;
class mDBase;

// Finds, before anything is written, each key the data breaks (a repeated
// or missing value, a child without its parent) and leaves it out with a
// message, so that every row still loads. Values are compared by a hash of
// each, and by the values themselves where two hashes match, so that no
// collision can pass a key the data breaks.
class KeyCheck {
public:
    using Hash = std::uint64_t (*)(std::string_view);
    static std::uint64_t StandardHash(std::string_view bytes);

    explicit KeyCheck(DatabaseKeys& keys, Hash hash = StandardHash);

    // Whether Check must read table t's values: it has a key that must be
    // unique, or the child side of a foreign key.
    bool NeedsValues(size_t t) const;
    // Reads the table's key values and marks every key they break.
    void Check(size_t t, mDBase& table, SqlKeyValues& values, bool skipDeleted);
    // Once every table is checked: the foreign keys whose child values are
    // not all among their parent's, or whose parent key is left out.
    void CheckForeignKeys();

private:
    // One key's values: each value's hash and record, its bytes kept in
    // Bytes, which holds them all.
    struct Value {
        std::uint64_t Hash;
        std::uint32_t Record;
        std::uint32_t Length;
        size_t At;
    };
    struct Values {
        std::vector<Value> Each;
        std::string Bytes;
        std::string_view Of(const Value& value) const { return std::string_view(Bytes).substr(value.At, value.Length); }
        // By hash, then bytes, then record.
        void Sort();
        // The first record, in file order, whose value an earlier record
        // has too; 0 when every value is unique. Sorted first.
        std::uint32_t FirstRepeated() const;
        // Whether a sorted set holds the value.
        bool Holds(std::uint64_t hash, std::string_view bytes) const;
    };
    std::vector<bool> Needed(size_t t) const;

    DatabaseKeys& m_keys;
    const Hash m_hash;
    std::vector<std::vector<Values>> m_values; // by table, by key; empty for a key not read
};
