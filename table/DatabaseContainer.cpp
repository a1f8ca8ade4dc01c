#include "table/DatabaseContainer.h"

#include "framework/AnsiText.h"
#include "framework/CFile.h"
#include "framework/CodePage.h"
#include "framework/FilePath.h"
#include "table/MemoFile.h"
#include "table/mDBase.h"

#include <algorithm>
#include <string>
#include <utility>

namespace {

// The ids of the PROPERTY entries the reader uses.
enum Property : std::uint8_t {
    kTableFile = 0x01,
    kRelationChildTag = 0x0D,
    kCandidateKey = 0x11,
    kRelationParent = 0x12,
    kRelationParentTag = 0x13,
    kPrimaryTag = 0x14,
};

// An entry's length, its two bytes 01 00 and its id come before its value.
constexpr size_t kEntryHead = 7;
// More than any container keeps for one object: a damaged memo length is not
// read whole.
constexpr std::uint64_t kLongestProperties = 1024 * 1024;
constexpr std::int32_t kDatabaseId = 1;

[[noreturn]] void ThrowNotAContainer(const CString& path, const char* format)
{
    throw CFileException(CFileException::invalidFile, path, 0, format);
}

// A name as a database can take it: without control bytes (a NUL among
// them), which none accepts, and without the blanks around it. Blank when
// nothing else is left.
CString NameOf(std::string_view stored)
{
    std::string name;
    for (const char c : stored)
        if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F)
            name += c;
    const size_t first = name.find_first_not_of(' ');
    if (first == std::string::npos)
        return CString();
    return CString(std::string_view(name).substr(first, name.find_last_not_of(' ') + 1 - first));
}

// The entries of one PROPERTY memo: a run of a 4-byte little-endian length
// that counts the whole entry, the bytes 01 00, an id and the value. An entry
// that does not fit ends the run.
class Properties {
public:
    explicit Properties(std::string bytes) : m_bytes(std::move(bytes))
    {
        for (size_t at = 0; m_bytes.size() - at >= kEntryHead;) {
            const auto length = static_cast<size_t>(LittleEndian<4>(m_bytes.data() + at));
            if (length < kEntryHead || length > m_bytes.size() - at || m_bytes[at + 4] != 1 || m_bytes[at + 5] != 0)
                break;
            m_entries.push_back({ static_cast<std::uint8_t>(m_bytes[at + 6]), at + kEntryHead, length - kEntryHead });
            at += length;
        }
    }

    // A text ends at its NUL.
    CString Text(std::uint8_t id) const
    {
        const std::string_view value = Value(id);
        return CString(value.substr(0, value.find('\0')));
    }
    CString Name(std::uint8_t id) const { return NameOf(Text(id).View()); }
    // A number is stored big-endian in (up to) 4 bytes.
    std::uint32_t Number(std::uint8_t id) const
    {
        const std::string_view value = Value(id).substr(0, 4);
        std::uint32_t number = 0;
        for (const char c : value)
            number = number << 8 | static_cast<unsigned char>(c);
        return number;
    }

private:
    struct Entry {
        std::uint8_t Id;
        size_t At, Length;
    };
    std::string_view Value(std::uint8_t id) const
    {
        for (const Entry& entry : m_entries)
            if (entry.Id == id)
                return std::string_view(m_bytes).substr(entry.At, entry.Length);
        return {};
    }

    std::string m_bytes;
    std::vector<Entry> m_entries;
};

// The container's fields, found by name.
struct Columns {
    int ObjectId = -1, ParentId = -1, ObjectType = -1, ObjectName = -1, Property = -1;

    explicit Columns(const mDBase& dbc)
    {
        const std::pair<const char*, int*> wanted[] = {
            { "OBJECTID", &ObjectId }, { "PARENTID", &ParentId }, { "OBJECTTYPE", &ObjectType },
            { "OBJECTNAME", &ObjectName }, { "PROPERTY", &Property },
        };
        for (int i = 0; i < dbc.GetFieldCount(); ++i)
            for (const auto& [name, index] : wanted)
                if (*index < 0 && SameIgnoringCase(dbc.GetField(i).Name.View(), name))
                    *index = i;
    }
    bool Complete() const { return ObjectId >= 0 && ParentId >= 0 && ObjectType >= 0 && ObjectName >= 0 && Property >= 0; }
};

std::int32_t IntegerOf(const mDBase& dbc, int field)
{
    const std::string_view stored = dbc.ValueView(field);
    return stored.size() < 4 ? 0 : static_cast<std::int32_t>(static_cast<std::uint32_t>(LittleEndian<4>(stored.data())));
}

std::string PropertyBytes(const mDBase& dbc, int field, MemoFile& memo)
{
    std::uint64_t block = 0;
    MemoFile::Memo found;
    std::string bytes;
    if (dbc.GetMemoBlock(field, block) != MemoPointer::Block || block == 0 || !memo.Find(block, found))
        return bytes;
    const std::uint64_t length = std::min(found.Length, kLongestProperties);
    for (std::uint64_t from = 0; from < length;) {
        const std::string_view piece = memo.Piece(found, from);
        bytes.append(piece.substr(0, static_cast<size_t>(std::min<std::uint64_t>(piece.size(), length - from))));
        from += piece.size();
    }
    return bytes;
}

} // namespace

std::string DatabaseContainer::SystemName(const CString& stored)
{
#ifdef _WIN32
    return stored.GetString();
#else
    std::string utf8;
    CodePageConverter(kCodePageWindows1252).AppendUtf8(stored.View(), utf8);
    return utf8;
#endif
}

bool DatabaseContainer::IsContainer(const CString& path)
{
    CFileStatus status;
    if (!CFile::GetStatus(path, status) || !status.m_isRegular)
        return false;
    try {
        CFile file;
        file.Open(path, CFile::modeRead);
        char header[32];
        const unsigned got = file.Read(header, sizeof header);
        return IsDatabaseContainer(std::string_view(header, got));
    } catch (const CFileException&) {
        return false;
    }
}

void DatabaseContainer::Open(const CString& path)
{
    m_path = path;
    m_tables.clear();
    m_relations.clear();
    if (!IsContainer(path)) {
        CFileStatus status;
        if (!CFile::GetStatus(path, status))
            throw CFileException(CFileException::fileNotFound, path);
        ThrowNotAContainer(path, "El archivo %s no es una base de datos de Visual FoxPro.");
    }
    mDBase dbc;
    if (!dbc.Open(path))
        throw CFileException(CFileException::fileNotFound, path);
    const Columns columns(dbc);
    if (!columns.Complete())
        ThrowNotAContainer(path, "El archivo %s no es una base de datos de Visual FoxPro: le faltan campos.");
    MemoFile memo;
    const CString expected(std::string_view(CompanionPath(path.View(), ".dct")));
    const CString memoPath = CFile::FindIgnoringCase(expected);
    if (memoPath.IsEmpty())
        throw CFileException(CFileException::fileNotFound, expected, 0, "No se encuentra el archivo de memos %s.");
    memo.OpenFile(memoPath, MemoFormat::FoxPro);

    // Every object, then each one put under its parent: a parent may come
    // after its children, and only the ids tell who belongs to whom.
    struct Object {
        std::int32_t Id, Parent;
        CString Type, Name;
        Properties Props;
    };
    std::vector<Object> objects;
    std::uint32_t records = 0, deleted = 0;
    for (std::uint32_t record = 1; dbc.GoTo(record); ++record) {
        ++records;
        if (dbc.IsDeleted()) {
            ++deleted;
            continue; // ALTER TABLE leaves a table's old Field records deleted
        }
        objects.push_back({ IntegerOf(dbc, columns.ObjectId), IntegerOf(dbc, columns.ParentId),
                            CString(dbc.ExportTextView(columns.ObjectType)),
                            NameOf(dbc.ExportTextView(columns.ObjectName)),
                            Properties(PropertyBytes(dbc, columns.Property, memo)) });
    }
    std::stable_sort(objects.begin(), objects.end(), [](const Object& a, const Object& b) { return a.Id < b.Id; });

    for (const Object& object : objects)
        if (object.Parent == kDatabaseId && SameIgnoringCase(object.Type.View(), "Table"))
            m_tables.push_back({ object.Id, object.Name, object.Props.Text(kTableFile), {}, {},
                                 object.Props.Name(kPrimaryTag) });
    for (const Object& object : objects) {
        const Table* parent = FindTable(object.Parent);
        if (!parent)
            continue;
        Table& table = m_tables[static_cast<size_t>(parent - m_tables.data())];
        if (SameIgnoringCase(object.Type.View(), "Field"))
            table.Fields.push_back(object.Name);
        else if (SameIgnoringCase(object.Type.View(), "Index"))
            table.Tags.push_back({ object.Name, object.Props.Number(kCandidateKey) == 1 });
        else if (SameIgnoringCase(object.Type.View(), "Relation"))
            m_relations.push_back({ table.Id, object.Props.Name(kRelationChildTag), object.Props.Name(kRelationParent),
                                    object.Props.Name(kRelationParentTag) });
    }
    if (m_tables.empty()) {
        // Windows lets no other opener read the file meanwhile.
        const std::uint16_t headerLength = dbc.GetHeaderLength(), recordLength = dbc.GetRecordLength();
        dbc.Close();
        CheckNoTables(headerLength, recordLength, records, deleted);
    }
}

void DatabaseContainer::CheckNoTables(std::uint16_t headerLength, std::uint16_t recordLength, std::uint32_t records,
                                      std::uint32_t deleted) const
{
    // Every container holds its database's own records: without any, or
    // with each one deleted, it is damaged, not empty.
    const char* why = nullptr;
    CFileStatus status;
    char header[8] = {};
    if (CFile::GetStatus(m_path, status)) {
        CFile file;
        file.Open(m_path, CFile::modeRead);
        file.Read(header, sizeof header);
    }
    // The records the header counts; the last may lack its final byte.
    const std::uint64_t whole = headerLength + std::uint64_t{ LittleEndian<4>(header + 4) } * recordLength;
    if (status.m_size < headerLength)
        why = ANSI_TEXT("su cabecera está cortada");
    else if (status.m_size + 1 < whole)
        why = ANSI_TEXT("está cortada");
    else if (records == 0)
        why = ANSI_TEXT("no guarda ningún registro");
    else if (deleted == records)
        why = ANSI_TEXT("todos sus registros están borrados");
    if (why)
        ThrowNotAContainer(m_path, ("La base de datos %s no tiene tablas que se puedan leer: " + std::string(why) + ".").c_str());
}

const DatabaseContainer::Table* DatabaseContainer::FindTable(std::int32_t id) const
{
    for (const Table& table : m_tables)
        if (table.Id == id)
            return &table;
    return nullptr;
}

const DatabaseContainer::Table* DatabaseContainer::FindTable(std::string_view name) const
{
    for (const Table& table : m_tables)
        if (SameIgnoringCase(table.Name.View(), name))
            return &table;
    return nullptr;
}

CString DatabaseContainer::TablePath(const Table& table) const
{
    return table.File.IsEmpty() ? CString() : Locate(m_path, SystemName(table.File));
}

CString DatabaseContainer::Locate(const CString& folderOf, std::string_view relative)
{
    const std::string_view from = folderOf.View();
    std::string path(from.substr(0, NameStart(from)));
    CString found;
    while (!relative.empty()) {
        const size_t end = std::min(relative.find_first_of("\\/"), relative.size());
        const std::string_view part = relative.substr(0, end);
        relative.remove_prefix(std::min(end + 1, relative.size()));
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            path += "../";
            continue;
        }
        found = CFile::FindIgnoringCase(CString(std::string_view(path + std::string(part))));
        if (found.IsEmpty())
            return found;
        path = std::string(found.View()) + "/";
    }
    return found;
}

bool DatabaseContainer::FindLongNames(const mDBase& table, LongNames& names, CString& problem)
{
    problem.Empty();
    if (table.GetBacklink().IsEmpty())
        return false;
    const CString path = Locate(table.GetPath(), SystemName(table.GetBacklink()));
    if (path.IsEmpty()) {
        problem.Format("no se encuentra su base de datos %s", table.GetBacklink().GetString());
        return false;
    }
    DatabaseContainer container;
    try {
        container.Open(path);
    } catch (const CFileException& e) {
        problem = e.GetErrorMessage();
        return false;
    }
    for (const Table& listed : container.GetTables()) {
        const CString file = container.TablePath(listed);
        if (file.IsEmpty() || !CFile::IsSameFile(file, table.GetPath()))
            continue;
        if (listed.Fields.size() != table.GetFieldCount()) {
            problem.Format("la base de datos %s le da %u campos y la tabla tiene %u", path.GetString(),
                           static_cast<unsigned>(listed.Fields.size()), static_cast<unsigned>(table.GetFieldCount()));
            return false;
        }
        names.Table = listed.Name;
        names.Fields = listed.Fields;
        return true;
    }
    problem.Format("la base de datos %s no la lista", path.GetString());
    return false;
}
