#pragma once

// JSON Lines: one JSON object per record. Classes: JsonLinesWriter.

#include "export/ExportWriter.h"
#include "export/FieldValue.h"

#include <string>
#include <vector>

// Writes every record as one line holding a JSON object, with a key for each
// field: its name as the header line writes it, in UTF-8, a repeated name
// followed by _2, _3. Values keep their types: numbers with their stored
// digits, texts converted to UTF-8 (memo texts included), dates and times
// as ISO 8601 texts, logicals as true and false, binary values in base64.
// No value is null; a value that cannot be what its type says is null too,
// and counted. A converter is required.
class JsonLinesWriter : public ExportWriter {
protected:
    void Prepare(const mDBase& table) override;
    void AppendRecord(const mDBase& table, LineBuffer& out) override;

private:
    void AppendValue(const mDBase& table, int field, LineBuffer& out);
    void AppendMemo(const FieldValue& value, int field, LineBuffer& out);

    // Each field's key with what goes before it: `{"NAME":` for the first,
    // `,"NAME":` for the others.
    std::vector<std::string> m_keys;
    FieldValue m_value;
};
