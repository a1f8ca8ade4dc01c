#include "export/SqlDialect.h"

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
    std::string definitions;
    for (const SqlColumn& column : table.Columns)
        definitions += "    " + Quoted(column.Name) + " " + column.Type +
                       (&column == &table.Columns.back() ? "\n" : ",\n");
    return definitions;
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
    const auto starts = [&](size_t at) { return (static_cast<unsigned char>(name[at]) & 0xC0) != 0x80; };
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
