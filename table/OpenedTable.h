#pragma once

// OpenedTable: a table opened with what goes with it.

#include "framework/CString.h"
#include "framework/CodePage.h"
#include "table/DatabaseContainer.h"
#include "table/MemoFile.h"
#include "table/mDBase.h"

#include <optional>
#include <string>
#include <vector>

// One way to open a table, for the window and the command line alike: the
// table itself (plain or compressed), its memo file, the code page of its
// texts and the names its database gives it. Each step is asked for on its
// own, since the command line needs only some of them; what a step finds
// wrong is kept as a warning for the caller to word and show.
class OpenedTable {
public:
    struct Warning {
        enum Kind {
            UnknownCpg,          // a .cpg names no code page this system converts from
            UnsupportedCodePage, // the language driver names a code page this system lacks
            NoLongNames,         // the database a member table names does not give its names
            AssumedWindows1252,  // an export converts a table that declares nothing as 1252
        };
        Kind What;
        std::string File;  // the file it is about
        CString Detail;    // NoLongNames: why, as a clause
        unsigned CodePage = 0; // UnsupportedCodePage: which
    };

    OpenedTable() = default;
    OpenedTable(const OpenedTable&) = delete;
    OpenedTable& operator=(const OpenedTable&) = delete;

    // As mDBase::Open, after closing whatever was open: 1 when open, 0 when
    // the path names nothing; CFileException when it cannot be read.
    int Open(const CString& path);
    void Close();
    bool IsOpen() const { return m_table.IsOpen(); }
    mDBase& Table() { return m_table; }
    const mDBase& Table() const { return m_table; }

    // Whether a field keeps its value in the memo file: text memos, or
    // binary ones too.
    bool HasMemoFields(bool binaryToo) const;
    // Opens the table's memo file; CFileException naming it when it is
    // missing or unreadable, and the table goes on without one.
    void OpenMemo();
    MemoFile* Memo() { return m_memo ? &*m_memo : nullptr; }
    const MemoFile* Memo() const { return m_memo ? &*m_memo : nullptr; }
    // The bytes of field i's text memo in the loaded record, at most limit
    // of them; empty for a blank pointer. False when the field is no memo,
    // there is no memo file, the memo cannot be found, or holds a picture or
    // an object: its display text then stands for it.
    bool ReadMemoText(int i, size_t limit, std::string& bytes);

    // The code page the table declares: a .cpg file beside it, else its
    // language-driver byte; 0 when it declares none that this system converts.
    unsigned FindCodePage();
    // The code page an export converts the texts from: the one given, else
    // the one the table declares, else 1252, with a warning.
    unsigned ExportCodePage(unsigned given);
    // Texts are converted from this code page from now on; 0 stops it.
    // CCodePageException, and nothing changes, when the system lacks it.
    void SetCodePage(unsigned codePage);
    unsigned CodePage() const { return m_converter ? m_converter->CodePage() : 0; }
    const CodePageConverter* Converter() const { return m_converter ? &*m_converter : nullptr; }

    // The long names of a Visual FoxPro member table, from the database its
    // header names; false for a free table, or with a warning when the
    // database does not give them.
    bool FindLongNames();
    bool HasLongNames() const { return m_hasNames; }
    const DatabaseContainer::LongNames& LongNames() const { return m_names; }
    // The column title of field i: its long name, or the one the table keeps.
    const CString& FieldName(int i) const;

    // The warnings since the last call, oldest first.
    std::vector<Warning> TakeWarnings();

private:
    mDBase m_table;
    std::optional<MemoFile> m_memo;
    std::optional<CodePageConverter> m_converter;
    DatabaseContainer::LongNames m_names;
    bool m_hasNames = false;
    std::vector<Warning> m_warnings;
};
