// Checking a database's keys against its tables' data.

#include "export/KeyCheck.h"

#include "export/SqlKeyValues.h"
#include "framework/AnsiText.h"
#include "table/mDBase.h"

#include <algorithm>
#include <functional>

std::uint64_t KeyCheck::StandardHash(std::string_view bytes)
{
    return std::hash<std::string_view>()(bytes);
}

KeyCheck::KeyCheck(DatabaseKeys& keys, Hash hash) : m_keys(keys), m_hash(hash) {}

void KeyCheck::Values::Sort()
{
    std::sort(Each.begin(), Each.end(), [&](const Value& a, const Value& b) {
        if (a.Hash != b.Hash)
            return a.Hash < b.Hash;
        const int order = Of(a).compare(Of(b));
        return order != 0 ? order < 0 : a.Record < b.Record;
    });
}

std::uint32_t KeyCheck::Values::FirstRepeated() const
{
    std::uint32_t first = 0;
    for (size_t i = 1; i < Each.size(); ++i)
        if (Each[i].Hash == Each[i - 1].Hash && Of(Each[i]) == Of(Each[i - 1]) &&
            (first == 0 || Each[i].Record < first))
            first = Each[i].Record;
    return first;
}

bool KeyCheck::Values::Holds(std::uint64_t hash, std::string_view bytes) const
{
    auto at = std::lower_bound(Each.begin(), Each.end(), hash,
                               [](const Value& value, std::uint64_t wanted) { return value.Hash < wanted; });
    // Nearly always one value of that hash, the same.
    for (; at != Each.end() && at->Hash == hash; ++at)
        if (Of(*at) == bytes)
            return true;
    return false;
}

std::vector<bool> KeyCheck::Needed(size_t t) const
{
    // The values of keys that must be unique, and of the child side of
    // every foreign key.
    const std::vector<DatabaseKeys::Key>& keys = m_keys.KeysOf(t);
    std::vector<bool> needed(keys.size());
    for (size_t k = 0; k < keys.size(); ++k)
        needed[k] = keys[k].Type != KeyKind::Index;
    for (const DatabaseKeys::ForeignKey& foreign : m_keys.GetForeignKeys())
        if (foreign.Child == t)
            needed[foreign.ChildKey] = true;
    return needed;
}

bool KeyCheck::NeedsValues(size_t t) const
{
    const std::vector<bool> needed = Needed(t);
    return std::find(needed.begin(), needed.end(), true) != needed.end();
}

void KeyCheck::Check(size_t t, mDBase& table, SqlKeyValues& values, bool skipDeleted)
{
    std::vector<DatabaseKeys::Key>& keys = m_keys.KeysOf(t);
    const std::vector<bool> needed = Needed(t);
    m_values.resize(m_keys.TableCount());
    std::vector<Values>& read = m_values[t];
    read.assign(keys.size(), Values());

    values.Prepare(table);
    std::vector<std::uint32_t> missing(keys.size()); // a primary key's first NULL
    std::string value, tuple;
    for (std::uint32_t record = 1; table.GoTo(record); ++record) {
        if (skipDeleted && table.IsDeleted())
            continue;
        for (size_t k = 0; k < keys.size(); ++k) {
            if (!needed[k])
                continue;
            tuple.clear();
            bool null = false;
            for (const int field : keys[k].Fields) {
                null = !values.Value(table, field, value) || null;
                // Each value after its length, so that no two lists run together.
                tuple += std::to_string(value.size()) + ':' + value;
            }
            if (!null) {
                Values& of = read[k];
                of.Each.push_back({ m_hash(tuple), record, static_cast<std::uint32_t>(tuple.size()), of.Bytes.size() });
                of.Bytes += tuple;
            } else if (keys[k].Type == KeyKind::Primary && missing[k] == 0) {
                missing[k] = record;
            }
        }
    }
    for (size_t k = 0; k < keys.size(); ++k) {
        DatabaseKeys::Key& key = keys[k];
        read[k].Sort();
        if (key.Type == KeyKind::Index)
            continue;
        const std::uint32_t repeated = read[k].FirstRepeated();
        if (missing[k] == 0 && repeated == 0)
            continue;
        key.Held = false;
        const std::string why = missing[k] != 0 ? "el registro " + std::to_string(missing[k]) + " no tiene valor"
                                                : "el valor del registro " + std::to_string(repeated) + " se repite";
        m_keys.Message("Aviso", t,
                       "se omite " + DatabaseKeys::Describe(key) + ": " + why + "; las filas se cargan todas.");
    }
}

void KeyCheck::CheckForeignKeys()
{
    m_values.resize(m_keys.TableCount());
    for (DatabaseKeys::ForeignKey& foreign : m_keys.GetForeignKeys()) {
        const size_t child = foreign.Child, parent = foreign.Parent;
        const DatabaseKeys::Key& parentKey = m_keys.KeysOf(parent)[foreign.ParentKey];
        const std::string what = std::string(ANSI_TEXT("se omite la clave foránea ")) +
                                 m_keys.KeysOf(child)[foreign.ChildKey].Tag.GetString() + " hacia " +
                                 m_keys.TableName(parent).GetString() + ": ";
        if (m_keys.IsDropped(child) || m_keys.IsDropped(parent)) {
            foreign.Held = false;
            if (!m_keys.IsDropped(child))
                m_keys.Message("Aviso", child, what + "esa tabla no se ha escrito.");
            continue;
        }
        if (!parentKey.Held) {
            foreign.Held = false;
            m_keys.Message("Aviso", child, what + "se ha omitido " + DatabaseKeys::Describe(parentKey) + ".");
            continue;
        }
        static const Values kNone;
        const auto valuesOf = [&](size_t t, size_t k) -> const Values& {
            return k < m_values[t].size() ? m_values[t][k] : kNone;
        };
        const Values& parents = valuesOf(parent, foreign.ParentKey);
        const Values& children = valuesOf(child, foreign.ChildKey);
        std::uint32_t orphan = 0;
        for (const Value& value : children.Each)
            if ((orphan == 0 || value.Record < orphan) && !parents.Holds(value.Hash, children.Of(value)))
                orphan = value.Record;
        if (orphan != 0) {
            foreign.Held = false;
            m_keys.Message("Aviso", child, what + "el registro " + std::to_string(orphan) +
                                               " no tiene registro padre; las filas se cargan todas.");
        }
    }
    std::vector<std::vector<Values>>().swap(m_values);
}
