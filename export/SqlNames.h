#pragma once

// The names a script gives its tables and columns. Classes: SqlNames.

#include <set>
#include <string>
#include <string_view>

class SqlDialect;

// The names of one script's tables, or of one table's columns: lower-cased,
// without control bytes, fitted to what the dialect's database keeps, and _2, _3 for one that
// repeats; an empty name becomes the fallback given.
class SqlNames {
public:
    explicit SqlNames(const SqlDialect& dialect) : m_dialect(dialect) {}
    std::string Add(std::string_view utf8, const std::string& fallback = "");

    // A name alone as the database keeps it, lower-cased and fitted, whatever
    // other names there are.
    static std::string Fitted(const SqlDialect& dialect, std::string_view utf8);

private:
    const SqlDialect& m_dialect;
    std::set<std::string> m_used;
};
