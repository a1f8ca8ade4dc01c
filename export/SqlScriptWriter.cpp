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

struct SqlScriptWriter::Row {
    SqlScriptWriter& Writer;
    const mDBase& Table;
    LineBuffer& Out;

    ORVALIS_ALWAYS_INLINE std::uint64_t Position() const { return Writer.Position(Out); }
    ORVALIS_ALWAYS_INLINE void Values() const { Writer.AppendValues(Table, Out); }
    std::uint64_t MemoBytes() const { return Writer.FindMemos(Table); }
};

template <class Batching>
__attribute__((noinline)) void SqlScriptWriter::AppendRow(Batching& rows, const mDBase& table, LineBuffer& out)
{
    rows.Append(out, Row{ *this, table, out });
}

void SqlScriptWriter::AppendRecord(const mDBase& table, LineBuffer& out)
{
    // The batching chosen for the table, each inline with the row's values.
    if (auto* const copy = std::get_if<SqlCopyRows>(&m_rows))
        AppendRow(*copy, table, out);
    else if (auto* const counted = std::get_if<SqlCountedInserts>(&m_rows))
        AppendRow(*counted, table, out);
    else
        AppendRow(*std::get_if<SqlBoundedInserts>(&m_rows), table, out);
}

void SqlScriptWriter::AppendEnd(const mDBase& /*table*/, LineBuffer& out)
{
    std::visit([&](auto& rows) { rows.End(out); }, m_rows);
    out.Append(Dialect().EndTable(m_table) + (m_partOfScript ? std::string() : Dialect().EndScript()));
}
