// Finding the keys of a script's tables and checking them against the data.

#include "export/DatabaseKeyCheck.h"

#include "export/KeyCheck.h"
#include "export/OutputTables.h"
#include "export/SqlKeyValues.h"
#include "table/StructuralIndex.h"

DatabaseKeys DatabaseKeyCheck::Run(const std::vector<SqlTable>& described, const SqlDialect& dialect)
{
    DatabaseKeys keys;
    for (size_t t = 0; t < m_tables.Count(); ++t) {
        const DatabaseContainer::Table* listed = m_tables.Listed(t);
        keys.AddTable(listed ? listed->Name : CString(m_tables.Path(t).c_str()));
        if (!listed || listed->Tags.empty() || m_tables.Failed(t))
            continue;
        m_tables.WithTable(t, [&](OpenedTable& opened) {
            // A damaged or missing index costs the table its keys, not its rows.
            StructuralIndex index;
            try {
                index.Open(m_tables.Path(t).c_str());
            } catch (const CFileException& e) {
                m_tables.SayNoIndex(t, e);
                return;
            }
            keys.SetKeys(t, *listed, opened.Table(), index);
        });
    }
    std::vector<const DatabaseContainer::Table*> listed;
    for (size_t t = 0; t < m_tables.Count(); ++t)
        listed.push_back(m_tables.Listed(t));
    for (const DatabaseContainer* container : m_containers)
        keys.AddRelations(*container, listed);
    KeyCheck check(keys);
    for (size_t t = 0; t < m_tables.Count(); ++t) {
        if (check.NeedsValues(t))
            m_tables.WithTable(t, [&](OpenedTable& opened) {
                SqlKeyValues values(described[t], dialect, *opened.Converter());
                check.Check(t, opened.Table(), values, m_skipDeleted);
            });
        if (m_tables.Failed(t))
            keys.DropTable(t);
    }
    check.CheckForeignKeys();
    for (const std::string& message : keys.TakeMessages())
        m_tables.SayKeyMessage(message);
    return keys;
}
