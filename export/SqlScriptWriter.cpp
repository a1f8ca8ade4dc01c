// A table's SQL script: its CREATE TABLE, its rows in the dialect's statements, and what ends it.

#include "export/SqlScriptWriter.h"

#include "export/SqlNames.h"
#include "export/SqlTableDescription.h"

struct SqlScriptWriter::Row {
    SqlScriptWriter& Writer;
    const mDBase& Table;
    LineBuffer& Out;

    ORVALIS_ALWAYS_INLINE std::uint64_t Position() const { return Writer.Position(Out); }
    ORVALIS_ALWAYS_INLINE void Values() const { Writer.AppendValues(Table, Out); }
    std::uint64_t MemoBytes() const { return Writer.FindMemos(Table); }
};

template <class Batching>
void SqlScriptWriter::AppendRowOf(SqlScriptWriter& writer, const mDBase& table, LineBuffer& out)
{
    std::get_if<Batching>(&writer.m_rows)->Append(out, Row{ writer, table, out });
}

SqlScriptWriter::SqlScriptWriter(std::unique_ptr<const SqlDialect> dialect, std::string tableName,
                                 const CodePageConverter& converter)
    : SqlValueWriter(std::move(dialect), converter),
      m_rows(MakeRowBatching(Dialect().Rows(), kBlockSize)),
      m_appendRow(std::visit(
          [](auto& rows) -> AppendRowFunction { return &AppendRowOf<std::decay_t<decltype(rows)>>; }, m_rows))
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
    m_appendRow(*this, table, out);
}

void SqlScriptWriter::AppendEnd(const mDBase& /*table*/, LineBuffer& out)
{
    std::visit([&](auto& rows) { rows.End(out); }, m_rows);
    out.Append(Dialect().EndTable(m_table) + (m_partOfScript ? std::string() : Dialect().EndScript()));
}
