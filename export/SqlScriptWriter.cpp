// A table's SQL script: its CREATE TABLE, its rows in the dialect's statements, and what ends it.

#include "export/SqlScriptWriter.h"

#include "export/SqlNames.h"
#include "export/SqlTableDescription.h"

SqlScriptWriter::SqlScriptWriter(std::unique_ptr<const SqlDialect> dialect, std::string tableName,
                                 const CodePageConverter& converter)
    : SqlValueWriter(std::move(dialect), converter),
      m_rows(MakeRowBatching(Dialect().Rows(), kBlockSize))
{
    m_table.Name = SqlNames::Fitted(Dialect(), tableName);
}

SqlScriptWriter::~SqlScriptWriter() = default;

void SqlScriptWriter::Prepare(const mDBase& table)
{
    m_table.Columns = DescribeSqlColumns(Dialect(), table, *Converter(),
                                         [&](int i) { return FieldName(table, i); });
    PrepareColumns(table, m_table.Columns);
    if (auto* bounded = std::get_if<SqlBoundedInserts>(&m_rows))
        bounded->SetRowBytes(RecordBytes(), HasMemos());
}

void SqlScriptWriter::AppendStart(const mDBase& /*table*/, LineBuffer& out)
{
    out.Append((m_partOfScript ? std::string() : Dialect().BeginScript()) + Dialect().BeginTable(m_table));
    std::visit([&](auto& rows) { rows.Begin(Dialect().InsertInto(m_table)); }, m_rows);
}

void SqlScriptWriter::AppendRecord(const mDBase& table, LineBuffer& out)
{
    std::visit(
        [&](auto& rows) {
            rows.Append(
                out, [&] { return Position(out); }, [&] { AppendValues(table, out); },
                [&] { return FindMemos(table); });
        },
        m_rows);
}

void SqlScriptWriter::AppendEnd(const mDBase& /*table*/, LineBuffer& out)
{
    std::visit([&](auto& rows) { rows.End(out); }, m_rows);
    out.Append(Dialect().EndTable(m_table) + (m_partOfScript ? std::string() : Dialect().EndScript()));
}
