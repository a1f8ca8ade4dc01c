#pragma once

// TableTest: the fixture of the table reader's tests, a table written to a
// temporary folder and opened as mDBase.

#include "table/mDBase.h"
#include "tests/support/TableBuilder.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <string>

namespace table_tests {

using testing_support::TableBuilder;
using testing_support::TempDir;

inline std::string Str(const CString& s) { return std::string(s.View()); }

class TableTest : public ::testing::Test {
protected:
    // Writes the table and opens it; the test fails if Open refuses.
    void OpenTable(const TableBuilder& builder)
    {
        Write(builder);
        ASSERT_EQ(table.Open(path.c_str()), 1);
    }
    void Write(const TableBuilder& builder) { builder.WriteTo(path); }
    void WriteBytes(const std::string& bytes) { TableBuilder::WriteFile(path, bytes); }

    // The invalid-file exception raised by opening the current file.
    CFileException OpenFailure()
    {
        try {
            table.Open(path.c_str());
        } catch (const CFileException& e) {
            return e;
        }
        ADD_FAILURE() << "Open raised nothing";
        return CFileException(CFileException::none, "");
    }

    void ExpectClosed()
    {
        EXPECT_FALSE(table.IsOpen());
        EXPECT_EQ(table.GetRecordCount(), 0u);
        EXPECT_EQ(table.GetCurrentRecord(), 0u);
        EXPECT_EQ(table.GetHeaderLength(), 0u);
        EXPECT_EQ(table.GetFieldCount(), 0u);
        EXPECT_EQ(table.GetRecordLength(), 0u);
        EXPECT_EQ(table.GoTo(1), 0);
        EXPECT_EQ(Str(table.GetDisplayText(0)), "");
    }

    TempDir dir;
    std::string path = dir.File("table.dbf");
    mDBase table;
};

} // namespace table_tests
