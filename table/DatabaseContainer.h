#pragma once

#include "framework/CString.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class mDBase;

// A Visual FoxPro database container: the .dbc table and its memo file .dct,
// which keep what the member tables cannot hold themselves: the long names of
// the tables and their fields, each table's index tags and primary key, and
// the relations between tables. Read whole when opened; its files are held
// only meanwhile. Names are kept as the container stores them, in its code
// page (as the tables' own texts are).
class DatabaseContainer {
public:
    struct Tag {
        CString Name;
        bool Candidate = false; // a primary or candidate key
    };
    struct Table {
        std::int32_t Id = 0;
        CString Name;                  // the long name
        CString File;                  // as stored: relative to the container, with '\'
        std::vector<CString> Fields;   // the long field names, in the table's field order
        std::vector<Tag> Tags;
        CString PrimaryTag;            // empty: no primary key
    };
    struct Relation {
        std::int32_t Child = 0; // the child table's Id
        CString ChildTag;
        CString Parent;         // the parent table's long name
        CString ParentTag;
    };

    // Whether the file at path is a database container (rather than a
    // compressed table, which also ends in .dbc). False when it cannot be read.
    static bool IsContainer(const CString& path);

    // Reads the container; raises CFileException naming the .dbc or its .dct
    // when either cannot be read or the .dbc is no container, or is damaged
    // so that it lists no table. Names are kept without control bytes or
    // the blanks around them.
    void Open(const CString& path);

    const CString& GetPath() const { return m_path; }
    const std::vector<Table>& GetTables() const { return m_tables; }
    const std::vector<Relation>& GetRelations() const { return m_relations; }
    const Table* FindTable(std::int32_t id) const;
    // The table of the given long name, in any letter case.
    const Table* FindTable(std::string_view name) const;
    // Where a listed table's file is on this system; empty when it is not there.
    CString TablePath(const Table& table) const;

    // The long names of a member table, from the container its backlink
    // names. False, with `problem` saying why, when the backlink names a
    // container that is not there or cannot be read, that does not list the
    // table, or that gives it another number of fields; also false, with no
    // problem, for a table without a backlink.
    struct LongNames {
        CString Table;
        std::vector<CString> Fields;
    };
    static bool FindLongNames(const mDBase& table, LongNames& names, CString& problem);

    // A name or path as the container stores it (code page 1252), in the
    // system's spelling of file names.
    static std::string SystemName(const CString& stored);

    // The file at a path relative to `folderOf`'s folder, separated by '\'
    // or '/', each part found in any letter case; empty when there is none.
    static CString Locate(const CString& folderOf, std::string_view relative);

private:
    // Raises CFileException, with the reason, when a container that lists
    // no table is damaged rather than empty.
    void CheckNoTables(std::uint16_t headerLength, std::uint16_t recordLength, std::uint32_t records,
                       std::uint32_t deleted) const;

    CString m_path;
    std::vector<Table> m_tables;
    std::vector<Relation> m_relations;
};
