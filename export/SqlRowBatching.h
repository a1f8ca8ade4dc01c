#pragma once

// How a script's rows are gathered into statements, as each dialect's
// database loads them best. Classes: SqlCopyRows, SqlInserts,
// SqlCountedInserts, SqlBoundedInserts.

#include "export/LineBuffer.h"
#include "export/SqlDialect.h"

#include <cstdint>
#include <string>
#include <variant>

// Each writes a table's rows one at a time, inline in the walk of its
// records: Append is given the row, whose Position() tells the bytes of the
// output so far, Values() writes its values at the end of out, and
// MemoBytes() finds its memos before it is written and tells the most they
// take.

// A COPY's rows, one a line.
class SqlCopyRows {
public:
    void Begin(std::string /*insert*/) {}
    template <class Row>
    ORVALIS_ALWAYS_INLINE void Append(LineBuffer& out, const Row& row)
    {
        row.Values();
        out.Append('\n');
    }
    void End(LineBuffer& /*out*/) {}
};

// INSERT statements of several rows, each row between parentheses.
class SqlInserts {
public:
    // insert: how each statement begins.
    void Begin(std::string insert)
    {
        m_insert = std::move(insert);
        m_rows = 0;
    }
    void End(LineBuffer& out)
    {
        if (m_rows > 0)
            out.Append(";\n");
        m_rows = 0;
    }

protected:
    explicit SqlInserts(std::uint64_t mostBytes) : m_mostBytes(mostBytes) {}

    template <class Row>
    ORVALIS_ALWAYS_INLINE void StartRow(LineBuffer& out, const Row& row)
    {
        if (m_rows > 0) {
            out.Append(ShortText(",\n("));
            return;
        }
        m_start = row.Position();
        out.Append(m_insert);
        out.Append('(');
    }

    const std::uint64_t m_mostBytes;
    std::string m_insert;
    // The rows and the start of the statement being written.
    std::uint32_t m_rows = 0;
    std::uint64_t m_start = 0;
};

// A statement ends after so many rows, or once it is so long.
class SqlCountedInserts : public SqlInserts {
public:
    SqlCountedInserts(std::uint32_t mostRows, std::uint64_t mostBytes) : SqlInserts(mostBytes), m_mostRows(mostRows) {}

    template <class Row>
    ORVALIS_ALWAYS_INLINE void Append(LineBuffer& out, const Row& row)
    {
        StartRow(out, row);
        row.Values();
        out.Append(')');
        if (++m_rows == m_mostRows || row.Position() - m_start >= m_mostBytes)
            End(out);
    }

private:
    const std::uint32_t m_mostRows; // 0: any number
};

// A statement ends before the row that could make it longer than so many
// bytes; a row longer alone takes a statement of its own.
class SqlBoundedInserts : public SqlInserts {
public:
    // The output goes to its file once it holds blockBytes, which a row with
    // memos may reach while it is written.
    SqlBoundedInserts(std::uint64_t mostBytes, std::uint64_t blockBytes)
        : SqlInserts(mostBytes), m_blockBytes(blockBytes)
    {
    }
    // The most a row of the table takes, its memos apart (separators and
    // parentheses counted); whether it has memos.
    void SetRowBytes(std::uint64_t recordBytes, bool memos)
    {
        m_recordBytes = recordBytes;
        m_memos = memos;
    }

    template <class Row>
    ORVALIS_ALWAYS_INLINE void Append(LineBuffer& out, const Row& row)
    {
        // A row that makes the statement too long becomes the first of the
        // next; one that a memo may send to the file in part while it is
        // written is told by the most it can take.
        bool told = false;
        const std::uint64_t rowStart = row.Position();
        if (m_memos) {
            const std::uint64_t most = m_recordBytes + row.MemoBytes();
            told = out.Size() + most >= m_blockBytes;
            if (told && m_rows > 0 && rowStart - m_start + most + 4 > m_mostBytes)
                End(out);
        }
        StartRow(out, row);
        row.Values();
        out.Append(')');
        // The ",\n" before the row becomes the end of one statement and the
        // start of the next, ";\n" counted.
        if (!told && m_rows > 0 && row.Position() - m_start + 2 > m_mostBytes) {
            out.Replace(static_cast<size_t>(rowStart - (row.Position() - out.Size())), 2, ";\n" + m_insert);
            m_start = rowStart + 2;
            m_rows = 0;
        }
        ++m_rows;
    }

private:
    const std::uint64_t m_blockBytes;
    std::uint64_t m_recordBytes = 0;
    bool m_memos = false;
};

// The batching a dialect's rows take, chosen once for a table.
using SqlRowBatching = std::variant<SqlCopyRows, SqlCountedInserts, SqlBoundedInserts>;
inline SqlRowBatching MakeRowBatching(const SqlRows& rows, std::uint64_t blockBytes)
{
    switch (rows.Batch) {
    case SqlRows::Batching::CountedInserts:
        return SqlCountedInserts(rows.StatementRows, rows.StatementBytes);
    case SqlRows::Batching::BoundedInserts:
        return SqlBoundedInserts(rows.StatementBytes, blockBytes);
    default:
        return SqlCopyRows();
    }
}
