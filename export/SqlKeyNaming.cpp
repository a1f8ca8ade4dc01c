// Naming a database's keys for a script.

#include "export/SqlKeyNaming.h"

#include "export/SqlNames.h"
#include "framework/AnsiText.h"
#include "framework/CodePage.h"

namespace {

// Each kind's name ends so, as PostgreSQL names its own.
const char* SuffixOf(KeyKind kind)
{
    switch (kind) {
    case KeyKind::Primary: return "_pkey";
    case KeyKind::Unique:  return "_key";
    case KeyKind::Index:   return "_idx";
    default:               return "_fkey";
    }
}

} // namespace

std::vector<SqlKey> SqlKeyNaming::Declared(const std::vector<SqlTable>& tables, const SqlDialect& dialect,
                                           SqlNames& names, const CodePageConverter& tags)
{
    using Key = DatabaseKeys::Key;
    const auto name = [&](size_t t, const Key& key, KeyKind kind) {
        std::string utf8 = tables[t].Name + "_";
        tags.AppendUtf8(key.Tag.View(), utf8);
        return names.Add(utf8 + SuffixOf(kind));
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
            m_keys.Message("Aviso", t, "se omite " + what + ": " + problem + ".");
        return problem.empty();
    };
    std::vector<SqlKey> declared;
    for (size_t t = 0; t < m_keys.TableCount(); ++t) {
        for (Key& key : m_keys.KeysOf(t)) {
            if (!key.Held)
                continue;
            SqlKey sql{ key.Type, {}, tables[t].Name, columnsOf(t, key), {}, {} };
            key.Held = holds(t, sql, DatabaseKeys::Describe(key));
            if (!key.Held)
                continue;
            sql.Name = name(t, key, key.Type);
            declared.push_back(std::move(sql));
        }
    }
    for (const DatabaseKeys::ForeignKey& foreign : m_keys.GetForeignKeys()) {
        if (!foreign.Held)
            continue;
        const Key& child = m_keys.KeysOf(foreign.Child)[foreign.ChildKey];
        const Key& parent = m_keys.KeysOf(foreign.Parent)[foreign.ParentKey];
        const std::string what = std::string(ANSI_TEXT("la clave foránea ")) + child.Tag.GetString() + " hacia " +
                                 m_keys.TableName(foreign.Parent).GetString();
        if (!parent.Held) {
            m_keys.Message("Aviso", foreign.Child,
                           "se omite " + what + ": se ha omitido " + DatabaseKeys::Describe(parent) + ".");
            continue;
        }
        SqlKey sql{ KeyKind::Foreign, {}, tables[foreign.Child].Name, columnsOf(foreign.Child, child),
                    tables[foreign.Parent].Name, columnsOf(foreign.Parent, parent) };
        if (!holds(foreign.Child, sql, what))
            continue;
        sql.Name = name(foreign.Child, child, KeyKind::Foreign);
        declared.push_back(std::move(sql));
    }
    return declared;
}
