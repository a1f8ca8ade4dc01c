#pragma once

// The keys a database container gives its tables. Classes: DatabaseKeys.

#include "framework/CString.h"
#include "table/DatabaseContainer.h"
#include "table/KeyKind.h"
#include "table/StructuralIndex.h"

#include <string>
#include <vector>

class mDBase;

// The keys of the tables of a database container: from each tag of a
// table's structural index whose key expression names fields (one field, or
// character fields joined by +), a primary key, a unique key or an index;
// from each relation between two such keys, a foreign key. Each key stays
// held until the data or the database is found to break it; what is left out
// is said, a line per table.
class DatabaseKeys {
public:
    struct Key {
        KeyKind Type = KeyKind::Index; // never Foreign
        CString Tag;
        std::vector<int> Fields; // field indexes, in the key's order
        bool Held = true;        // false once it is left out
    };
    struct ForeignKey {
        size_t Child = 0, Parent = 0;       // tables, in the order they were added
        size_t ChildKey = 0, ParentKey = 0; // keys of each table
        bool Held = true;
    };

    // The next table, without keys so far; returns its number.
    size_t AddTable(const CString& name);
    // Table t's keys, from the tags the container lists for it and the
    // expressions its index gives them.
    void SetKeys(size_t t, const DatabaseContainer::Table& listed, const mDBase& table, const StructuralIndex& index);
    // The foreign keys of the container's relations among the tables added;
    // `tables` gives each added table's container entry.
    void AddRelations(const DatabaseContainer& container, const std::vector<const DatabaseContainer::Table*>& tables);
    // A table whose rows do not load (its file is missing or failed) loses
    // its keys, and the foreign keys to and from it.
    void DropTable(size_t t);

    size_t TableCount() const { return m_tables.size(); }
    const CString& TableName(size_t t) const { return m_tables[t].Name; }
    bool IsDropped(size_t t) const { return m_tables[t].Dropped; }
    const std::vector<Key>& KeysOf(size_t t) const { return m_tables[t].Keys; }
    std::vector<Key>& KeysOf(size_t t) { return m_tables[t].Keys; }
    const std::vector<ForeignKey>& GetForeignKeys() const { return m_foreignKeys; }
    std::vector<ForeignKey>& GetForeignKeys() { return m_foreignKeys; }

    // A key as a message names it: "la clave primaria id".
    static std::string Describe(const Key& key);
    // A message about table t ("Aviso", "Nota"), kept for TakeMessages.
    void Message(const char* level, size_t t, const std::string& text);
    // What was left out and why, each line naming its table, for standard
    // error; taken once.
    std::vector<std::string> TakeMessages();

private:
    struct Table {
        CString Name;
        std::vector<Key> Keys;
        bool Dropped = false;
    };

    std::vector<Table> m_tables;
    std::vector<ForeignKey> m_foreignKeys;
    std::vector<std::string> m_messages;
};
