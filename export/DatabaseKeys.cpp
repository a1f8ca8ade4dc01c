#include "export/DatabaseKeys.h"

#include "framework/CodePage.h"
#include "table/mDBase.h"

#include <algorithm>
#include <functional>

namespace {

std::string_view Trimmed(std::string_view text)
{
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") + 1 - first);
}

// The field a name in a key expression stands for, in any letter case: the
// one whose long name it is, or else the one whose stored name it is (a long
// name passing 10 characters is stored cut, and the index is written with
// the long one). -1 when none. `longNames` is empty when the table has none.
int FieldNamed(const mDBase& table, const std::vector<CString>& longNames, std::string_view name)
{
    for (size_t i = 0; i < longNames.size(); ++i)
        if (SameIgnoringCase(longNames[i].View(), name))
            return static_cast<int>(i);
    for (int i = 0; i < table.GetFieldCount(); ++i)
        if (SameIgnoringCase(table.GetField(i).Name.View(), name))
            return i;
    return -1;
}

// The fields a key expression names: one field's name, or the names of
// character fields joined by +. False for any other expression, whose value
// no column holds.
bool FieldsOf(const mDBase& table, const std::vector<CString>& longNames, std::string_view expression,
              std::vector<int>& fields)
{
    fields.clear();
    for (;;) {
        const size_t plus = expression.find('+');
        const int found = FieldNamed(table, longNames, Trimmed(expression.substr(0, plus)));
        if (found < 0 || table.GetField(found).Memo != MemoUse::None)
            return false;
        fields.push_back(found);
        if (plus == std::string_view::npos)
            break;
        expression.remove_prefix(plus + 1);
    }
    if (fields.size() > 1)
        for (const int field : fields)
            if (!table.GetField(field).IsCharacter())
                return false;
    return true;
}

const char* KindName(DatabaseKeys::Key::Kind kind)
{
    switch (kind) {
    case DatabaseKeys::Key::Kind::Primary: return "la clave primaria";
    case DatabaseKeys::Key::Kind::Unique:  return "la clave \xFAnica";
    default:                               return "el \xEDndice";
    }
}

using Values = std::vector<std::pair<std::uint64_t, std::uint32_t>>;

// The first record, in file order, whose value an earlier record has too;
// 0 when every value is unique. Sorts the values.
std::uint32_t FirstRepeated(Values& values)
{
    std::sort(values.begin(), values.end());
    std::uint32_t first = 0;
    for (size_t i = 1; i < values.size(); ++i)
        if (values[i].first == values[i - 1].first && (first == 0 || values[i].second < first))
            first = values[i].second;
    return first;
}

} // namespace

size_t DatabaseKeys::AddTable(const CString& name)
{
    m_tables.push_back({ name, {}, {}, false });
    return m_tables.size() - 1;
}

void DatabaseKeys::SetKeys(size_t t, const DatabaseContainer::Table& listed, const mDBase& table,
                           const StructuralIndex& index)
{
    Table& added = m_tables[t];
    std::string skipped;
    const auto skip = [&](const CString& tag, const char* why) {
        skipped += std::string(skipped.empty() ? "" : ", ") + tag.GetString() + " (" + why + ")";
    };
    // The container lists a table's tags and which are keys; the index
    // keeps their expressions, written with the fields' long names.
    static const std::vector<CString> kNoLongNames;
    const std::vector<CString>& longNames =
        listed.Fields.size() == static_cast<size_t>(table.GetFieldCount()) ? listed.Fields : kNoLongNames;
    for (const DatabaseContainer::Tag& tag : listed.Tags) {
        const StructuralIndex::Tag* found = nullptr;
        for (const StructuralIndex::Tag& indexed : index.GetTags())
            if (!found && SameIgnoringCase(indexed.Name.View(), tag.Name.View()))
                found = &indexed;
        if (!found) {
            skip(tag.Name, "no est\xE1 en el \xEDndice");
            continue;
        }
        Key key;
        key.Tag = tag.Name;
        key.Type = SameIgnoringCase(tag.Name.View(), listed.PrimaryTag.View()) ? Key::Kind::Primary
                   : tag.Candidate || found->Candidate                    ? Key::Kind::Unique
                                                                          : Key::Kind::Index;
        if (!found->Filter.IsEmpty())
            skip(tag.Name, ("FOR " + std::string(found->Filter.View())).c_str());
        else if (!FieldsOf(table, longNames, found->Expression.View(), key.Fields))
            skip(tag.Name, found->Expression.GetString());
        else
            added.Keys.push_back(std::move(key));
    }
    if (!skipped.empty())
        Message("Nota", added.Name, "sin clave ni \xEDndice para las etiquetas que no son una lista de campos "
                                    "o que tienen FOR: " + skipped + ".");
    added.Values.resize(added.Keys.size());
}

void DatabaseKeys::AddRelations(const DatabaseContainer& container,
                                const std::vector<const DatabaseContainer::Table*>& tables)
{
    const auto tableOf = [&](const DatabaseContainer::Table* listed) {
        return static_cast<size_t>(std::find(tables.begin(), tables.end(), listed) - tables.begin());
    };
    const auto keyOf = [&](size_t t, const CString& tag) {
        const std::vector<Key>& keys = m_tables[t].Keys;
        size_t k = 0;
        while (k < keys.size() && !SameIgnoringCase(keys[k].Tag.View(), tag.View()))
            ++k;
        return k;
    };
    for (const DatabaseContainer::Relation& relation : container.GetRelations()) {
        const size_t child = tableOf(container.FindTable(relation.Child));
        const size_t parent = tableOf(container.FindTable(relation.Parent.View()));
        if (child >= m_tables.size())
            continue; // a table that is not written
        const std::string what = std::string("se omite la clave for\xE1nea ") + relation.ChildTag.GetString() +
                                 " hacia " + relation.Parent.GetString() + ": ";
        if (parent >= m_tables.size()) {
            Message("Aviso", m_tables[child].Name, what + "esa tabla no est\xE1 en la base de datos.");
            continue;
        }
        const size_t childKey = keyOf(child, relation.ChildTag);
        const size_t parentKey = keyOf(parent, relation.ParentTag);
        if (childKey == m_tables[child].Keys.size() || parentKey == m_tables[parent].Keys.size()) {
            Message("Aviso", m_tables[child].Name, what + "una de sus etiquetas no da columnas.");
            continue;
        }
        const Key& parentSide = m_tables[parent].Keys[parentKey];
        if (parentSide.Type == Key::Kind::Index) {
            Message("Aviso", m_tables[child].Name,
                    what + "la etiqueta " + parentSide.Tag.GetString() + " no es una clave primaria ni candidata.");
            continue;
        }
        if (parentSide.Fields.size() != m_tables[child].Keys[childKey].Fields.size()) {
            Message("Aviso", m_tables[child].Name, what + "sus dos etiquetas no dan el mismo n\xFAmero de columnas.");
            continue;
        }
        m_foreignKeys.push_back({ child, parent, childKey, parentKey, true });
    }
}

std::vector<bool> DatabaseKeys::Needed(size_t t) const
{
    // The values of keys that must be unique, and of the child side of
    // every foreign key.
    const Table& checked = m_tables[t];
    std::vector<bool> needed(checked.Keys.size());
    for (size_t k = 0; k < checked.Keys.size(); ++k)
        needed[k] = checked.Keys[k].Type != Key::Kind::Index;
    for (const ForeignKey& foreign : m_foreignKeys)
        if (foreign.Child == t)
            needed[foreign.ChildKey] = true;
    return needed;
}

bool DatabaseKeys::NeedsValues(size_t t) const
{
    const std::vector<bool> needed = Needed(t);
    return std::find(needed.begin(), needed.end(), true) != needed.end();
}

void DatabaseKeys::Check(size_t t, mDBase& table, SqlScriptWriter& values, bool skipDeleted)
{
    Table& checked = m_tables[t];
    const std::vector<bool> needed = Needed(t);

    std::vector<std::uint32_t> missing(checked.Keys.size()); // a primary key's first NULL
    std::string value, tuple;
    for (std::uint32_t record = 1; table.GoTo(record); ++record) {
        if (skipDeleted && table.IsDeleted())
            continue;
        for (size_t k = 0; k < checked.Keys.size(); ++k) {
            if (!needed[k])
                continue;
            tuple.clear();
            bool null = false;
            for (const int field : checked.Keys[k].Fields) {
                null = null || !values.KeyValue(table, field, value);
                // Each value after its length, so that no two lists run together.
                tuple += std::to_string(value.size()) + ':' + value;
            }
            if (!null)
                checked.Values[k].emplace_back(std::hash<std::string>()(tuple), record);
            else if (checked.Keys[k].Type == Key::Kind::Primary && missing[k] == 0)
                missing[k] = record;
        }
    }
    for (size_t k = 0; k < checked.Keys.size(); ++k) {
        Key& key = checked.Keys[k];
        if (key.Type == Key::Kind::Index)
            continue;
        const std::uint32_t repeated = FirstRepeated(checked.Values[k]);
        if (missing[k] == 0 && repeated == 0)
            continue;
        key.Held = false;
        std::string why = missing[k] != 0 ? "el registro " + std::to_string(missing[k]) + " no tiene valor"
                                          : "el valor del registro " + std::to_string(repeated) + " se repite";
        Message("Aviso", checked.Name, "se omite " + Describe(key) + ": " + why + "; las filas se cargan todas.");
    }
}

void DatabaseKeys::CheckForeignKeys()
{
    for (ForeignKey& foreign : m_foreignKeys) {
        Table& child = m_tables[foreign.Child];
        const Table& parent = m_tables[foreign.Parent];
        const Key& parentKey = parent.Keys[foreign.ParentKey];
        const std::string what = std::string("se omite la clave for\xE1nea ") +
                                 child.Keys[foreign.ChildKey].Tag.GetString() + " hacia " + parent.Name.GetString() +
                                 ": ";
        if (child.Dropped || parent.Dropped) {
            foreign.Held = false;
            if (!child.Dropped)
                Message("Aviso", child.Name, what + "esa tabla no se ha escrito.");
            continue;
        }
        if (!parentKey.Held) {
            foreign.Held = false;
            Message("Aviso", child.Name, what + "se ha omitido " + Describe(parentKey) + ".");
            continue;
        }
        // The parent's values are sorted by now.
        const Values& parents = parent.Values[foreign.ParentKey];
        std::uint32_t orphan = 0;
        for (const auto& [hash, record] : child.Values[foreign.ChildKey]) {
            const auto at = std::lower_bound(parents.begin(), parents.end(), std::make_pair(hash, std::uint32_t{ 0 }));
            if ((at == parents.end() || at->first != hash) && (orphan == 0 || record < orphan))
                orphan = record;
        }
        if (orphan != 0) {
            foreign.Held = false;
            Message("Aviso", child.Name,
                    what + "el registro " + std::to_string(orphan) + " no tiene registro padre; las filas se cargan todas.");
        }
    }
    for (Table& table : m_tables)
        for (Values& values : table.Values)
            Values().swap(values);
}

void DatabaseKeys::DropTable(size_t t)
{
    m_tables[t].Dropped = true;
    for (Key& key : m_tables[t].Keys)
        key.Held = false;
}

std::vector<std::string> DatabaseKeys::TakeMessages()
{
    return std::move(m_messages);
}

void DatabaseKeys::Message(const char* level, const CString& table, const std::string& text)
{
    m_messages.push_back(std::string(level) + ": tabla " + table.GetString() + ": " + text + "\n");
}

std::string DatabaseKeys::Describe(const Key& key)
{
    return std::string(KindName(key.Type)) + " " + key.Tag.GetString();
}

std::vector<SqlKey> DatabaseKeys::Declared(const std::vector<SqlTable>& tables, const SqlDialect& dialect,
                                           SqlNames& names, const CodePageConverter& tags)
{
    const auto name = [&](size_t t, const Key& key, const char* suffix) {
        std::string utf8 = tables[t].Name + "_";
        tags.AppendUtf8(key.Tag.View(), utf8);
        return names.Add(utf8 + suffix);
    };
    const auto columnsOf = [&](size_t t, const Key& key) {
        std::vector<std::string> listed;
        for (const int field : key.Fields)
            listed.push_back(tables[t].Columns[static_cast<size_t>(field)].Name);
        return listed;
    };
    // A key the database cannot hold on its columns' types is left out too.
    const auto holds = [&](size_t t, const SqlKey& declared, const std::string& what) {
        const std::string problem = dialect.KeyProblem(declared, tables[t]);
        if (!problem.empty())
            Message("Aviso", m_tables[t].Name, "se omite " + what + ": " + problem + ".");
        return problem.empty();
    };
    std::vector<SqlKey> declared;
    for (size_t t = 0; t < m_tables.size(); ++t) {
        for (Key& key : m_tables[t].Keys) {
            if (!key.Held)
                continue;
            static const char* const suffix[] = { "_pkey", "_key", "_idx" };
            const auto kind = static_cast<size_t>(key.Type);
            const SqlKey::Kind types[] = { SqlKey::Kind::Primary, SqlKey::Kind::Unique, SqlKey::Kind::Index };
            SqlKey sql{ types[kind], {}, tables[t].Name, columnsOf(t, key), {}, {} };
            key.Held = holds(t, sql, Describe(key));
            if (!key.Held)
                continue;
            sql.Name = name(t, key, suffix[kind]);
            declared.push_back(std::move(sql));
        }
    }
    for (const ForeignKey& foreign : m_foreignKeys) {
        if (!foreign.Held)
            continue;
        const Key& child = m_tables[foreign.Child].Keys[foreign.ChildKey];
        const Key& parent = m_tables[foreign.Parent].Keys[foreign.ParentKey];
        const std::string what = std::string("la clave for\xE1nea ") + child.Tag.GetString() + " hacia " +
                                 m_tables[foreign.Parent].Name.GetString();
        if (!parent.Held) {
            Message("Aviso", m_tables[foreign.Child].Name, "se omite " + what + ": se ha omitido " + Describe(parent) + ".");
            continue;
        }
        SqlKey sql{ SqlKey::Kind::Foreign, {}, tables[foreign.Child].Name, columnsOf(foreign.Child, child),
                    tables[foreign.Parent].Name, columnsOf(foreign.Parent, parent) };
        if (!holds(foreign.Child, sql, what))
            continue;
        sql.Name = name(foreign.Child, child, "_fkey");
        declared.push_back(std::move(sql));
    }
    return declared;
}
