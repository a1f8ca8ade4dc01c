// A script of several tables and their databases' keys.

#include "export/SqlDatabaseScript.h"

#include "export/DatabaseKeyCheck.h"
#include "export/OutputTables.h"
#include "export/SqlKeyNaming.h"
#include "export/SqlNames.h"
#include "export/SqlScriptWriter.h"
#include "export/SqlTableDescription.h"
#include "framework/CodePage.h"
#include "framework/OutputFile.h"

#include <cstdint>
#include <memory>
#include <set>

void SqlDatabaseScript::Write(OutputTables& tables, const std::vector<const DatabaseContainer*>& containers,
                              const SharedOutput& output)
{
    // Names for the tables, and each table's columns, before any key is named.
    const std::unique_ptr<SqlDialect> dialect = SqlDialect::Named(m_dialect);
    SqlNames names(*dialect);
    std::vector<std::string> named(tables.Count()); // each table's name in the script
    std::vector<SqlTable> described(tables.Count());
    for (size_t t = 0; t < tables.Count(); ++t)
        tables.WithTable(t, [&](OpenedTable& opened) {
            named[t] = names.Add(tables.Name(t), "tabla" + std::to_string(t + 1));
            const std::vector<CString>* const fields = tables.FieldNames(t);
            described[t] = DescribeSqlTable(*dialect, opened.Table(), named[t], *opened.Converter(),
                                            fields ? *fields : std::vector<CString>());
            output.RefuseTable(tables.Path(t));
        });
    DatabaseKeys keys = DatabaseKeyCheck(tables, containers, m_skipDeleted).Run(described, *dialect);
    const std::vector<SqlKey> declared =
        SqlKeyNaming(keys).Declared(described, *dialect, names, CodePageConverter(kCodePageWindows1252));
    for (const std::string& message : keys.TakeMessages())
        tables.SayKeyMessage(message);

    OutputFile out;
    if (!tables.OpenOutput(output, out))
        return;
    const std::string begin = dialect->BeginScript();
    std::set<std::string> loaded;
    std::uint64_t end = begin.size(); // where the script's last whole part ends
    try {
        out.File().Write(begin.data(), static_cast<unsigned>(begin.size()));
    } catch (CFileException& e) {
        out.Abandon();
        e.AddSentence(out.IncompleteNote());
        tables.FailAll(e);
        return;
    }
    for (size_t t = 0; t < tables.Count(); ++t) {
        tables.WithTable(t, [&](OpenedTable& opened) {
            SqlScriptWriter script(SqlDialect::Named(m_dialect), named[t], *opened.Converter());
            script.SetReplace(m_replace);
            if (const std::vector<CString>* fields = tables.FieldNames(t))
                script.SetFieldNames(*fields);
            script.SetMemoFile(opened.Memo());
            script.SetSkipDeleted(m_skipDeleted);
            script.SetPartOfScript(true);
            std::vector<SqlKey> inTable;
            for (const SqlKey& key : declared)
                if (key.Table == named[t])
                    inTable.push_back(key);
            script.SetTableKeys(std::move(inTable));
            try {
                script.Write(opened.Table(), out.File());
            } catch (CFileException& e) {
                // A table that fails half-way takes its part out of the
                // script; an output that cannot be cut keeps it.
                if (out.IsDirect())
                    e.AddSentence(out.IncompleteNote());
                else
                    out.File().SetLength(end);
                throw;
            }
            end += script.Written();
            loaded.insert(named[t]);
            tables.SayWarnings(t, opened, script.GetWarnings());
        });
    }
    // The keys of the tables that loaded, and of those they refer to.
    std::vector<SqlKey> after;
    for (const SqlKey& key : declared)
        if (loaded.count(key.Table) && (key.Type != SqlKey::Kind::Foreign || loaded.count(key.Parent)))
            after.push_back(key);
    const std::string last = dialect->KeyStatements(after) + dialect->EndScript();
    try {
        out.File().Write(last.data(), static_cast<unsigned>(last.size()));
        if (loaded.empty() && !out.IsDirect())
            out.Abandon(); // nothing to load: an earlier file stays
        else
            out.Commit();
    } catch (CFileException& e) {
        out.Abandon();
        e.AddSentence(out.IncompleteNote());
        tables.FailAll(e);
    }
}
