// The columns and types of the table a script creates for a dBase table.

#include "export/SqlTableDescription.h"

#include "export/ExportWriter.h"
#include "export/SqlNames.h"
#include "framework/CodePage.h"
#include "table/mDBase.h"

#include <algorithm>

std::vector<SqlColumn> DescribeSqlColumns(const SqlDialect& dialect, const mDBase& table,
                                          const CodePageConverter& converter,
                                          const std::function<std::string_view(int)>& fieldName)
{
    const int fields = table.GetFieldCount();
    if (fields == 0)
        throw CFileException(CFileException::invalidFile, table.GetPath(), 0,
                             "La tabla %s no tiene campos: no hay tabla SQL que crear con ella.");
    // A script the database could not load is no script: said before it is written.
    if (static_cast<size_t>(fields) > dialect.MostColumns()) {
        CString format;
        format.Format("La tabla %%s tiene %d campos y la base de datos admite %u columnas como mucho.", fields,
                      static_cast<unsigned>(dialect.MostColumns()));
        throw CFileException(CFileException::invalidFile, table.GetPath(), 0, format);
    }
    std::vector<SqlColumn> columns;
    SqlNames names(dialect);
    for (int i = 0; i < fields; ++i) {
        const FieldDescriptor& field = table.GetField(i);
        SqlColumn column;
        column.Field = i;
        column.Descriptor = &field;
        column.Value = ValueTypeOf(field);
        column.Nullable = field.NullBit >= 0;
        column.VarLength = field.Kind == FieldKind::VarCharacter;
        if (column.Value == SqlValue::Decimal || column.Value == SqlValue::Whole) {
            column.Places = std::min<unsigned>(field.Decimals, dialect.MostPlaces());
            column.Digits = std::min(std::max<unsigned>({ field.Length, field.Decimals, 1u }), dialect.MostDigits());
        }

        std::string utf8;
        converter.AppendUtf8(fieldName(i), utf8);
        column.Name = names.Add(utf8, "campo" + std::to_string(i + 1));
        columns.push_back(std::move(column));
    }
    dialect.SetTypes(columns);
    return columns;
}

SqlTable DescribeSqlTable(const SqlDialect& dialect, const mDBase& table, std::string_view name,
                          const CodePageConverter& converter, const std::vector<CString>& fieldNames)
{
    SqlTable described;
    described.Name = SqlNames::Fitted(dialect, name);
    described.Columns = DescribeSqlColumns(dialect, table, converter, [&](int i) {
        return FieldNameOf(table, fieldNames, i);
    });
    for (SqlColumn& column : described.Columns)
        column.Descriptor = nullptr;
    return described;
}
