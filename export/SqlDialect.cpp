// The statements the dialects share, and the dialect of each name.

#include "export/SqlDialect.h"

#include "framework/Utf8.h"

#include <algorithm>

std::unique_ptr<SqlDialect> SqlDialect::Named(std::string_view name)
{
    if (name == "postgresql")
        return MakePostgreSqlDialect();
    if (name == "sqlite")
        return MakeSqliteDialect();
    if (name == "mysql")
        return MakeMySqlDialect();
    return nullptr;
}

std::string SqlDialect::ColumnList(const SqlTable& table) const
{
    std::string list;
    for (const SqlColumn& column : table.Columns)
        list += (list.empty() ? "" : ", ") + Quoted(column.Name);
    return list;
}

std::string SqlDialect::ColumnDefinitions(const SqlTable& table) const
{
    std::vector<std::string> lines;
    for (const SqlColumn& column : table.Columns) {
        bool inKey = false;
        for (const SqlKey& key : table.Keys)
            inKey = inKey || std::find(key.Columns.begin(), key.Columns.end(), column.Name) != key.Columns.end();
        lines.push_back(Quoted(column.Name) + " " + DeclaredType(column, inKey));
    }
    for (const SqlKey& key : table.Keys)
        if (DeclaresInTable(key))
            lines.push_back(Constraint(key));
    std::string definitions;
    for (const std::string& line : lines)
        definitions += "    " + line + (&line == &lines.back() ? "\n" : ",\n");
    return definitions;
}

std::string SqlDialect::QuotedList(const std::vector<std::string>& names) const
{
    std::string list = "(";
    for (const std::string& name : names)
        list += (&name == &names.front() ? "" : ", ") + Quoted(name);
    return list + ")";
}

std::string SqlDialect::Constraint(const SqlKey& key) const
{
    const char* kind = key.Type == SqlKey::Kind::Primary ? " PRIMARY KEY "
                       : key.Type == SqlKey::Kind::Unique ? " UNIQUE "
                                                          : " FOREIGN KEY ";
    std::string constraint = "CONSTRAINT " + Quoted(key.Name) + kind + QuotedList(key.Columns);
    if (key.Type == SqlKey::Kind::Foreign)
        constraint += " REFERENCES " + Quoted(key.Parent) + " " + QuotedList(key.ParentColumns);
    return constraint;
}

std::string SqlDialect::KeyStatements(const std::vector<SqlKey>& keys) const
{
    std::string statements;
    for (const SqlKey& key : keys) {
        if (DeclaresInTable(key))
            continue;
        if (key.Type == SqlKey::Kind::Index)
            statements += "CREATE INDEX " + Quoted(key.Name) + " ON " + Quoted(key.Table) + " " +
                          QuotedList(key.Columns) + ";\n";
        else
            statements += "ALTER TABLE " + Quoted(key.Table) + " ADD " + Constraint(key) + ";\n";
    }
    return statements;
}

std::string SqlDialect::CreateTable(const SqlTable& table) const
{
    const std::string name = Quoted(table.Name);
    return (table.Replace ? "DROP TABLE IF EXISTS " + name + ";\n" : "") + "CREATE TABLE " + name + " (\n" +
           ColumnDefinitions(table) + ");\n";
}

SqlSpelling SqlDialect::InsertSpelling()
{
    SqlSpelling spelling;
    spelling.Null = ShortText("NULL");
    spelling.True = ShortText("1");
    spelling.False = ShortText("0");
    spelling.Quote = '\'';
    spelling.BytesOpen = ShortText("X'");
    spelling.BytesClose = ShortText("'");
    return spelling;
}

std::string SqlDialect::Cut(std::string name, size_t longest, bool characters)
{
    const auto starts = [&](size_t at) { return IsUtf8Start(static_cast<unsigned char>(name[at])); };
    size_t end = 0;
    if (characters) {
        // Past the longest-th character's start, up to the next one.
        for (size_t count = 0; end < name.size(); ++end)
            if (starts(end) && count++ == longest)
                break;
    } else {
        end = std::min(name.size(), longest);
        while (end > 0 && end < name.size() && !starts(end))
            --end;
    }
    name.resize(end);
    return name;
}

std::string SqlDialect::QuotedWith(std::string_view name, char quote)
{
    std::string quoted(1, quote);
    for (const char c : name) {
        if (c == quote)
            quoted += quote;
        quoted += c;
    }
    return quoted + quote;
}

const SqlColumn* SqlDialect::ColumnNamed(const SqlTable& table, const std::string& name)
{
    for (const SqlColumn& column : table.Columns)
        if (column.Name == name)
            return &column;
    return nullptr;
}

