#pragma once

// A key's values as a script's database compares them. Classes: SqlKeyValues.

#include "export/FieldValue.h"
#include "export/SqlDialect.h"

#include <string>
#include <vector>

class CodePageConverter;
class mDBase;

// The values of a table's key fields, read from the table as its script
// writes them (what it writes as NULL is no value) and spelled so that
// values the database holds as equal give equal texts: 1.50 and 1.5, -0 and
// 0, texts in UTF-8. Needs only what the table becomes in the script (its
// columns' types and sizes), not a writer.
class SqlKeyValues {
public:
    // `described` is the table as the script creates it; the converter
    // takes the table's texts to UTF-8.
    SqlKeyValues(const SqlTable& described, const SqlDialect& dialect, const CodePageConverter& converter);

    // Before the table's first record is read.
    void Prepare(const mDBase& table);
    // Field i's value in the loaded record: false for no value.
    bool Value(const mDBase& table, int field, std::string& text);

private:
    bool DecodedValue(const mDBase& table, int field, std::string& text);

    std::vector<SqlColumn> m_columns;
    const SqlDialect& m_dialect;
    const CodePageConverter& m_converter;
    ValueDecoder m_decoder;
    FieldValue m_value;
};
