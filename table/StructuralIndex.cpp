#include "table/StructuralIndex.h"

#include "framework/AnsiText.h"
#include "framework/CFile.h"
#include "framework/FilePath.h"
#include "table/TableFormat.h"

#include <set>
#include <string>
#include <string_view>

namespace {

constexpr unsigned kNodeSize = 512;
constexpr unsigned kTagHeaderSize = 1024;
// The file's own header is the tag directory's: where its root node is and
// how long its keys (the tag names) are.
constexpr unsigned kKeyLengthAt = 0x0C;
constexpr unsigned kLongestKey = 240;
// In a tag's header.
constexpr unsigned kOptionsAt = 0x0E;
constexpr unsigned kFilterAt = 0x1F8; // start and length, the length counting the NUL
constexpr unsigned kExpressionAt = 0x1FC;
constexpr unsigned kPoolAt = 0x200;
constexpr unsigned kPoolSize = kTagHeaderSize - kPoolAt;
constexpr std::uint8_t kUniqueOption = 0x01;
constexpr std::uint8_t kCandidateOption = 0x04;
constexpr std::uint8_t kFilterOption = 0x08;
// In a node.
constexpr std::uint16_t kLeafNode = 0x02;
constexpr unsigned kLeafEntriesAt = 0x18;
constexpr unsigned kInteriorEntriesAt = 0x0C;
constexpr unsigned kDeepest = 32;

std::string_view Trimmed(std::string_view text)
{
    const size_t end = text.find_last_not_of(std::string_view(" \0", 2));
    return text.substr(0, end == std::string_view::npos ? 0 : end + 1);
}

// Reads the tag directory and the tag headers, checking every offset and
// count against the file and the node: a damaged index is an error, never a
// read outside a buffer or a walk without end.
class IndexReader {
public:
    IndexReader(CFile& file, const CString& path) : m_file(file), m_path(path), m_size(file.GetLength()) {}

    // Each tag's name and the offset of its header, in the directory's order.
    std::vector<std::pair<std::string, std::uint64_t>> Directory()
    {
        unsigned char header[kNodeSize];
        Read(0, header, sizeof header);
        m_keyLength = static_cast<unsigned>(LittleEndian<2>(header + kKeyLengthAt));
        if (m_keyLength == 0 || m_keyLength > kLongestKey)
            Damaged();
        Walk(LittleEndian<4>(header), 0);
        return std::move(m_entries);
    }

    StructuralIndex::Tag TagAt(std::uint64_t offset)
    {
        unsigned char header[kTagHeaderSize];
        Read(offset, header, sizeof header);
        const std::uint8_t options = header[kOptionsAt];
        StructuralIndex::Tag tag;
        tag.Expression = Expression(header, kExpressionAt);
        if (options & kFilterOption)
            tag.Filter = Expression(header, kFilterAt);
        tag.Unique = (options & kUniqueOption) != 0;
        tag.Candidate = (options & kCandidateOption) != 0;
        return tag;
    }

private:
    [[noreturn]] void Damaged() const
    {
        throw CFileException(CFileException::invalidFile, m_path, 0, ANSI_TEXT("El índice %s está dañado."));
    }

    void Read(std::uint64_t offset, unsigned char* into, unsigned count)
    {
        if (offset > m_size || count > m_size - offset || m_file.ReadAt(offset, into, count) < count)
            Damaged();
    }

    CString Expression(const unsigned char* header, unsigned at) const
    {
        const auto start = static_cast<unsigned>(LittleEndian<2>(header + at));
        const auto length = static_cast<unsigned>(LittleEndian<2>(header + at + 2));
        if (start > kPoolSize || length > kPoolSize - start)
            Damaged();
        std::string_view pool(reinterpret_cast<const char*>(header + kPoolAt + start), length);
        pool = pool.substr(0, pool.find('\0'));
        const size_t first = pool.find_first_not_of(' ');
        return CString(Trimmed(pool.substr(first == std::string_view::npos ? pool.size() : first)));
    }

    void Walk(std::uint64_t offset, unsigned depth)
    {
        // A node seen before, or a tree deeper than any index, is a loop.
        if (depth > kDeepest || !m_visited.insert(offset).second)
            Damaged();
        unsigned char node[kNodeSize];
        Read(offset, node, sizeof node);
        const auto count = static_cast<unsigned>(LittleEndian<2>(node + 2));
        if (LittleEndian<2>(node) & kLeafNode) {
            Leaf(node, count);
            return;
        }
        // Each key is followed by a big-endian record number and child node.
        const unsigned entry = m_keyLength + 8;
        if (count > (kNodeSize - kInteriorEntriesAt) / entry)
            Damaged();
        for (unsigned i = 0; i < count; ++i)
            Walk(BigEndian<4>(node + kInteriorEntriesAt + i * entry + m_keyLength + 4), depth + 1);
    }

    // Entries of a few bytes each hold a record number and how many bytes of
    // the key repeat the key before it and how many trailing blanks it has;
    // the rest of each key is packed backwards from the node's end.
    void Leaf(const unsigned char* node, unsigned count)
    {
        const std::uint64_t recordMask = LittleEndian<4>(node + 0x0E);
        const unsigned duplicateMask = node[0x12], trailingMask = node[0x13];
        const unsigned recordBits = node[0x14], duplicateBits = node[0x15];
        const unsigned entryBytes = node[0x17];
        if (entryBytes == 0 || entryBytes > 8 || recordBits + duplicateBits >= 64 ||
            count > (kNodeSize - kLeafEntriesAt) / entryBytes)
            Damaged();
        const unsigned entriesEnd = kLeafEntriesAt + count * entryBytes;
        unsigned keysAt = kNodeSize;
        std::string key;
        for (unsigned i = 0; i < count; ++i) {
            std::uint64_t entry = 0;
            for (unsigned b = entryBytes; b-- > 0;)
                entry = entry << 8 | node[kLeafEntriesAt + i * entryBytes + b];
            const unsigned duplicates = static_cast<unsigned>(entry >> recordBits) & duplicateMask;
            const unsigned trailing = static_cast<unsigned>(entry >> (recordBits + duplicateBits)) & trailingMask;
            if (duplicates + trailing > m_keyLength || duplicates > key.size())
                Damaged();
            const unsigned fresh = m_keyLength - duplicates - trailing;
            if (keysAt - entriesEnd < fresh)
                Damaged();
            keysAt -= fresh;
            key.resize(duplicates);
            key.append(reinterpret_cast<const char*>(node + keysAt), fresh);
            key.append(trailing, ' ');
            m_entries.emplace_back(std::string(Trimmed(key)), entry & recordMask);
        }
    }

    CFile& m_file;
    const CString& m_path;
    const std::uint64_t m_size;
    unsigned m_keyLength = 0;
    std::set<std::uint64_t> m_visited;
    std::vector<std::pair<std::string, std::uint64_t>> m_entries;
};

} // namespace

void StructuralIndex::Open(const CString& tablePath)
{
    m_tags.clear();
    const CString expected(std::string_view(CompanionPath(tablePath.View(), ".cdx")));
    m_path = CFile::FindIgnoringCase(expected);
    if (m_path.IsEmpty()) {
        m_path = expected;
        throw CFileException(CFileException::fileNotFound, expected, 0, ANSI_TEXT("No se encuentra el índice %s."));
    }
    CFileStatus status;
    if (!CFile::GetStatus(m_path, status) || !status.m_isRegular)
        throw CFileException(CFileException::invalidFile, m_path, 0, ANSI_TEXT("El índice %s no es un archivo."));
    CFile file;
    file.Open(m_path, CFile::modeRead | CFile::shareExclusive);
    IndexReader reader(file, m_path);
    std::vector<Tag> tags;
    std::set<std::string> names;
    for (auto& [name, offset] : reader.Directory()) {
        if (!names.insert(name).second)
            continue;
        Tag tag = reader.TagAt(offset);
        tag.Name = CString(std::string_view(name));
        tags.push_back(std::move(tag));
    }
    m_tags = std::move(tags);
}
