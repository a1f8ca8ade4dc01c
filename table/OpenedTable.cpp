// OpenedTable: a table with its memo file, code page and long names.

#include "table/OpenedTable.h"

#include "framework/FilePath.h"

namespace {

// The code page a .cpg file beside the table names; 0 without one, or with
// one that names nothing known, which *unknown says.
unsigned CodePageOfCpgFile(const std::string& table, std::string& unknown)
{
    for (const char* extension : { ".cpg", ".CPG" }) {
        const std::string path = WithExtension(table, extension);
        CFileStatus status;
        if (!CFile::GetStatus(path.c_str(), status) || !status.m_isRegular)
            continue;
        CFile file;
        file.Open(path.c_str(), CFile::modeRead);
        char name[256];
        const unsigned got = file.Read(name, sizeof name);
        const unsigned codePage = CodePageFromName(std::string_view(name, got));
        if (codePage == 0)
            unknown = path;
        return codePage;
    }
    return 0;
}

} // namespace

int OpenedTable::Open(const CString& path)
{
    Close();
    return m_table.Open(path);
}

void OpenedTable::Close()
{
    m_table.Close();
    m_memo.reset();
    m_converter.reset();
    m_names = {};
    m_hasNames = false;
    m_warnings.clear();
}

bool OpenedTable::HasMemoFields(bool binaryToo) const
{
    for (int i = 0; i < m_table.GetFieldCount(); ++i) {
        const MemoUse use = m_table.GetField(i).Memo;
        if (use == MemoUse::Text || (binaryToo && use == MemoUse::Binary))
            return true;
    }
    return false;
}

void OpenedTable::OpenMemo()
{
    m_memo.emplace();
    try {
        m_memo->Open(m_table.GetPath(), m_table.GetVersion());
    } catch (...) {
        m_memo.reset();
        throw;
    }
}

bool OpenedTable::ReadMemoText(int i, size_t limit, std::string& bytes)
{
    bytes.clear();
    if (!m_memo || i < 0 || i >= m_table.GetFieldCount() || m_table.GetField(i).Memo != MemoUse::Text)
        return false;
    if (m_table.IsNullValue(i))
        return true;
    std::uint64_t block = 0;
    switch (m_table.GetMemoBlock(i, block)) {
    case MemoPointer::None:
        return true;
    case MemoPointer::Invalid:
        return false;
    case MemoPointer::Block:
        break;
    }
    MemoFile::Memo memo;
    if (!m_memo->Find(block, memo) || memo.Type != MemoFile::Content::Text)
        return false;
    for (std::uint64_t from = 0; from < memo.Length && bytes.size() < limit;) {
        const std::string_view piece = m_memo->Piece(memo, from);
        from += piece.size();
        bytes.append(piece.substr(0, limit - bytes.size()));
    }
    return true;
}

unsigned OpenedTable::FindCodePage()
{
    const std::string path = m_table.GetPath().GetString();
    std::string unknown;
    if (const unsigned codePage = CodePageOfCpgFile(path, unknown))
        return codePage;
    if (!unknown.empty())
        m_warnings.push_back({ Warning::UnknownCpg, unknown, CString(), 0 });
    const unsigned codePage = CodePageOfLanguageDriver(m_table.GetLanguageDriver());
    if (codePage != 0 && CodePageConverter::IsSupported(codePage))
        return codePage;
    if (codePage != 0)
        m_warnings.push_back({ Warning::UnsupportedCodePage, path, CString(), codePage });
    return 0;
}

unsigned OpenedTable::ExportCodePage(unsigned given)
{
    if (given != 0)
        return given;
    if (const unsigned codePage = FindCodePage())
        return codePage;
    m_warnings.push_back({ Warning::AssumedWindows1252, m_table.GetPath().GetString(), CString(), 0 });
    return kCodePageWindows1252;
}

void OpenedTable::SetCodePage(unsigned codePage)
{
    if (codePage == 0)
        m_converter.reset();
    else
        m_converter.emplace(codePage);
}

bool OpenedTable::FindLongNames()
{
    CString problem;
    m_hasNames = DatabaseContainer::FindLongNames(m_table, m_names, problem);
    if (!problem.IsEmpty())
        m_warnings.push_back({ Warning::NoLongNames, m_table.GetPath().GetString(), problem, 0 });
    return m_hasNames;
}

const CString& OpenedTable::FieldName(int i) const
{
    if (m_hasNames && static_cast<size_t>(i) < m_names.Fields.size())
        return m_names.Fields[static_cast<size_t>(i)];
    return m_table.GetField(i).Name;
}

std::vector<OpenedTable::Warning> OpenedTable::TakeWarnings()
{
    std::vector<Warning> taken;
    taken.swap(m_warnings);
    return taken;
}
