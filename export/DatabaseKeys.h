#pragma once

#include "export/SqlScriptWriter.h"
#include "framework/CString.h"
#include "table/DatabaseContainer.h"
#include "table/StructuralIndex.h"

#include <cstdint>
#include <string>
#include <vector>

class CodePageConverter;
class mDBase;

// The keys a script declares for the tables of a database container: from
// each tag of a table's structural index whose key expression names fields
// (one field, or character fields joined by +), a primary key, a unique key
// or an index; from each relation between two such keys, a foreign key. A
// key the data breaks (a repeated or missing value, a child without its
// parent) is found before anything is written, and left out with a message,
// so that every row still loads.
class DatabaseKeys {
public:
    struct Key {
        enum class Kind : std::uint8_t { Primary, Unique, Index };
        Kind Type = Kind::Index;
        CString Tag;
        std::vector<int> Fields; // field indexes, in the key's order
        bool Held = true;        // false once the data is found to break it
    };
    struct ForeignKey {
        size_t Child = 0, Parent = 0;       // tables, in the order they were added
        size_t ChildKey = 0, ParentKey = 0; // keys of each table
        bool Held = true;
    };

    // The next table of the script, without keys so far; returns its number.
    size_t AddTable(const CString& name);
    // Table t's keys, from the tags the container lists for it and the
    // expressions its index gives them.
    void SetKeys(size_t t, const DatabaseContainer::Table& listed, const mDBase& table, const StructuralIndex& index);
    // The foreign keys of the container's relations among the tables added;
    // `tables` gives each added table's container entry.
    void AddRelations(const DatabaseContainer& container, const std::vector<const DatabaseContainer::Table*>& tables);

    // Whether Check must read table t's values: it has a key that must be
    // unique, or the child side of a foreign key.
    bool NeedsValues(size_t t) const;
    // Reads the table's key values as the script writes them, through a
    // writer prepared for the table, and marks every key they break.
    void Check(size_t t, mDBase& table, SqlScriptWriter& values, bool skipDeleted);
    // Once every table is checked: the foreign keys whose child values are
    // not all among their parent's, or whose parent key is left out.
    void CheckForeignKeys();
    // A table whose rows do not load (its file is missing or failed) takes
    // its keys, and the foreign keys to and from it, out of the script.
    void DropTable(size_t t);

    // The keys the script declares: those the data holds and the dialect's
    // database can hold on their columns, named after their table and tag
    // (converted to UTF-8 by `tags`). tables[t] is table t as the script
    // creates it; names holds the script's names of tables and keys. A key
    // left out here is said, as those the data breaks are.
    std::vector<SqlKey> Declared(const std::vector<SqlTable>& tables, const SqlDialect& dialect, SqlNames& names,
                                 const CodePageConverter& tags);

    const std::vector<Key>& KeysOf(size_t t) const { return m_tables[t].Keys; }
    const std::vector<ForeignKey>& GetForeignKeys() const { return m_foreignKeys; }
    // What was left out and why, each line naming its table, for standard
    // error; taken once.
    std::vector<std::string> TakeMessages();

private:
    struct Table {
        CString Name;
        std::vector<Key> Keys;
        // Each key's values, hashed, with the record each comes from;
        // empty for a key whose values are not needed.
        std::vector<std::vector<std::pair<std::uint64_t, std::uint32_t>>> Values;
        bool Dropped = false;
    };
    std::vector<bool> Needed(size_t t) const;
    void Message(const char* level, const CString& table, const std::string& text);
    static std::string Describe(const Key& key);

    std::vector<Table> m_tables;
    std::vector<ForeignKey> m_foreignKeys;
    std::vector<std::string> m_messages;
};
