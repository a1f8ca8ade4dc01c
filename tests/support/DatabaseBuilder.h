#pragma once

// Writes Visual FoxPro database containers (.dbc and .dct) and structural
// indexes (.cdx) byte by byte for tests and fuzz seeds.

#include "tests/support/MemoBuilder.h"
#include "tests/support/TableBuilder.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

// The PROPERTY memo of one object: entries of a 4-byte little-endian length
// counting the whole entry, 01 00, an id and the value.
class Properties {
public:
    Properties& Text(std::uint8_t id, const std::string& text) { return Entry(id, text + '\0'); }
    Properties& Number(std::uint8_t id, std::uint32_t n)
    {
        return Entry(id, { static_cast<char>(n >> 24), static_cast<char>(n >> 16 & 0xFF),
                           static_cast<char>(n >> 8 & 0xFF), static_cast<char>(n & 0xFF) });
    }
    Properties& Entry(std::uint8_t id, const std::string& value)
    {
        std::string entry(4, '\0');
        TableBuilder::Put32(entry, 0, static_cast<std::uint32_t>(value.size() + 7));
        m_bytes += entry + std::string("\x01\x00", 2) + static_cast<char>(id) + value;
        return *this;
    }
    // Bytes as they are: an entry that does not fit, say.
    Properties& Raw(const std::string& bytes) { m_bytes += bytes; return *this; }
    const std::string& Bytes() const { return m_bytes; }

private:
    std::string m_bytes;
};

class ContainerBuilder {
public:
    enum : std::uint8_t { kFile = 0x01, kChildTag = 0x0D, kCandidate = 0x11, kParent = 0x12, kParentTag = 0x13,
                          kPrimaryTag = 0x14 };

    // The memo file's block size; Visual FoxPro writes containers with 1 too.
    explicit ContainerBuilder(std::uint16_t blockSize = 64) : m_memo(MemoBuilder::FoxPro, blockSize)
    {
        Object(1, "Database", "Database", Properties());
    }

    int Table(const std::string& name, const std::string& file, const std::string& primaryTag = "")
    {
        Properties props;
        props.Text(kFile, file);
        if (!primaryTag.empty())
            props.Text(kPrimaryTag, primaryTag);
        return Object(1, "Table", name, props);
    }
    int Field(int table, const std::string& name, bool deleted = false)
    {
        return Object(table, "Field", name, Properties(), deleted);
    }
    int Index(int table, const std::string& tag, bool candidate)
    {
        return Object(table, "Index", tag, Properties().Number(kCandidate, candidate ? 1 : 0));
    }
    int Relation(int child, const std::string& childTag, const std::string& parent, const std::string& parentTag)
    {
        return Object(child, "Relation", "Relation 1",
                      Properties().Text(kChildTag, childTag).Text(kParent, parent).Text(kParentTag, parentTag));
    }
    // Any object, its PROPERTY memo given whole.
    int Object(int parent, const std::string& type, const std::string& name, const Properties& props,
               bool deleted = false)
    {
        const int id = static_cast<int>(m_records.size()) + 1;
        const std::string pointer = props.Bytes().empty() ? std::string(4, '\0')
                                                          : MemoBuilder::BinaryPointer(m_memo.Add(props.Bytes()));
        std::string ids(8, '\0');
        TableBuilder::Put32(ids, 0, static_cast<std::uint32_t>(id));
        TableBuilder::Put32(ids, 4, static_cast<std::uint32_t>(parent));
        m_records.push_back({ { ids.substr(0, 4), ids.substr(4), type, name, pointer, std::string(4, '\0'), "",
                                std::string(4, '\0') },
                              deleted ? '*' : ' ' });
        return id;
    }

    TableBuilder Dbc() const
    {
        TableBuilder dbc;
        dbc.Version(0x30).TableFlags(0x07).LanguageDriver(0x03).AfterTerminator(std::string(263, '\0'));
        dbc.Field("OBJECTID", 'I', 4).Field("PARENTID", 'I', 4).Field("OBJECTTYPE", 'C', 10)
            .Field("OBJECTNAME", 'C', 128).Field("PROPERTY", 'M', 4).Field("CODE", 'M', 4)
            .Field("RIINFO", 'C', 6).Field("USER", 'M', 4);
        for (const auto& [values, flag] : m_records)
            dbc.Record(values, flag);
        return dbc;
    }
    const MemoBuilder& Dct() const { return m_memo; }

    // stem.dbc and stem.dct.
    void WriteTo(const std::string& stem) const
    {
        Dbc().WriteTo(stem + ".dbc");
        m_memo.WriteTo(stem + ".dct");
    }

    // The 263 bytes a member table keeps after its field table.
    static std::string Backlink(const std::string& container)
    {
        std::string link = container;
        link.resize(263, '\0');
        return link;
    }

private:
    MemoBuilder m_memo;
    std::vector<std::pair<std::vector<std::string>, char>> m_records;
};

// A structural index: a tag directory of compact leaf nodes (and an interior
// root when the tags fill more than one leaf), and each tag's header with an
// empty leaf for its keys.
class IndexBuilder {
public:
    enum : std::uint8_t { kUnique = 0x01, kCandidate = 0x04, kFilter = 0x08 };
    static constexpr unsigned kTagKeyLength = 10;

    IndexBuilder& Tag(const std::string& name, const std::string& expression, std::uint8_t options = 0,
                      const std::string& filter = "")
    {
        m_tags.push_back({ name, expression, filter, static_cast<std::uint8_t>(options | (filter.empty() ? 0 : kFilter)) });
        return *this;
    }
    // How many tag names one directory leaf holds.
    IndexBuilder& LeafSize(size_t keys) { m_leafKeys = keys; return *this; }

    std::string Bytes() const
    {
        std::vector<TagSpec> tags = m_tags;
        std::sort(tags.begin(), tags.end(), [](const TagSpec& a, const TagSpec& b) { return Upper(a.Name) < Upper(b.Name); });
        const size_t leaves = std::max<size_t>(1, (tags.size() + m_leafKeys - 1) / m_leafKeys);
        const size_t interior = leaves > 1 ? 1 : 0;
        // The directory's header, its nodes, then each tag: header and one leaf.
        const size_t firstTag = 1024 + 512 * (leaves + interior);
        std::string file = Header(1024, 0xE0, "", "", kTagKeyLength); // the root: the first node
        std::vector<std::pair<std::string, std::uint32_t>> entries;
        for (size_t i = 0; i < tags.size(); ++i)
            entries.emplace_back(Upper(tags[i].Name), static_cast<std::uint32_t>(firstTag + i * 1536));
        if (interior) {
            std::string root(512, '\0');
            root[0] = 1; // root
            TableBuilder::Put16(root, 2, static_cast<std::uint16_t>(leaves));
            for (size_t leaf = 0; leaf < leaves; ++leaf) {
                const auto& last = entries[std::min(entries.size(), (leaf + 1) * m_leafKeys) - 1];
                std::string key = last.first;
                key.resize(kTagKeyLength, ' ');
                const size_t at = 12 + leaf * (kTagKeyLength + 8);
                root.replace(at, kTagKeyLength, key);
                root.replace(at + kTagKeyLength, 4, BigEndian(last.second));
                root.replace(at + kTagKeyLength + 4, 4, BigEndian(static_cast<std::uint32_t>(1024 + 512 * (leaf + 1))));
            }
            file += root;
        }
        for (size_t leaf = 0; leaf < leaves; ++leaf) {
            const size_t from = leaf * m_leafKeys;
            const size_t to = std::min(entries.size(), from + m_leafKeys);
            file += Leaf({ entries.begin() + static_cast<std::ptrdiff_t>(std::min(from, entries.size())),
                           entries.begin() + static_cast<std::ptrdiff_t>(to) },
                         leaves == 1);
        }
        for (size_t i = 0; i < tags.size(); ++i) {
            file += Header(static_cast<std::uint32_t>(firstTag + i * 1536 + 1024), tags[i].Options, tags[i].Expression,
                           tags[i].Filter, 8);
            file += Leaf({}, true);
        }
        return file;
    }
    void WriteTo(const std::string& path) const { TableBuilder::WriteFile(path, Bytes()); }

    // A tag header: options at 0x0E; the FOR and key expressions' starts and
    // lengths (counting the NUL) at 0x1F8 to 0x1FF, in the pool from 0x200.
    static std::string Header(std::uint32_t root, std::uint8_t options, const std::string& expression,
                              const std::string& filter, std::uint16_t keyLength)
    {
        std::string h(1024, '\0');
        TableBuilder::Put32(h, 0, root);
        TableBuilder::Put32(h, 4, 0xFFFFFFFF);
        TableBuilder::Put16(h, 0x0C, keyLength);
        h[0x0E] = static_cast<char>(options | 0x60);
        const std::string pool = expression + '\0' + (filter.empty() ? "" : filter + '\0');
        const auto keyLengthInPool = static_cast<std::uint16_t>(expression.size() + 1);
        TableBuilder::Put16(h, 0x1F8, filter.empty() ? 0 : keyLengthInPool);
        TableBuilder::Put16(h, 0x1FA, static_cast<std::uint16_t>(filter.empty() ? 0 : filter.size() + 1));
        TableBuilder::Put16(h, 0x1FC, 0);
        TableBuilder::Put16(h, 0x1FE, expression.empty() ? 0 : keyLengthInPool);
        h.replace(0x200, pool.size(), pool);
        return h;
    }

    // A compact leaf of tag names: entries of 3 bytes holding a 16-bit
    // offset, then 4 bits each of repeated and trailing bytes.
    static std::string Leaf(const std::vector<std::pair<std::string, std::uint32_t>>& entries, bool root)
    {
        std::string node(512, '\0');
        node[0] = static_cast<char>(2 | (root ? 1 : 0));
        TableBuilder::Put16(node, 2, static_cast<std::uint16_t>(entries.size()));
        TableBuilder::Put32(node, 4, 0xFFFFFFFF);
        TableBuilder::Put32(node, 8, 0xFFFFFFFF);
        TableBuilder::Put32(node, 0x0E, 0xFFFF);
        node[0x12] = 0x0F;
        node[0x13] = 0x0F;
        node[0x14] = 16;
        node[0x15] = 4;
        node[0x16] = 4;
        node[0x17] = 3;
        size_t keysAt = 512;
        std::string previous;
        for (size_t i = 0; i < entries.size(); ++i) {
            std::string key = entries[i].first;
            key.resize(kTagKeyLength, ' ');
            size_t repeated = 0;
            while (repeated < previous.size() && key[repeated] == previous[repeated])
                ++repeated;
            size_t trailing = 0;
            while (trailing < kTagKeyLength - repeated && key[kTagKeyLength - 1 - trailing] == ' ')
                ++trailing;
            const std::string fresh = key.substr(repeated, kTagKeyLength - repeated - trailing);
            keysAt -= fresh.size();
            node.replace(keysAt, fresh.size(), fresh);
            const std::uint32_t entry = entries[i].second | static_cast<std::uint32_t>(repeated) << 16 |
                                        static_cast<std::uint32_t>(trailing) << 20;
            for (size_t b = 0; b < 3; ++b)
                node[0x18 + i * 3 + b] = static_cast<char>(entry >> (8 * b) & 0xFF);
            previous = key;
        }
        return node;
    }

private:
    struct TagSpec {
        std::string Name, Expression, Filter;
        std::uint8_t Options;
    };
    static std::string Upper(std::string s)
    {
        for (char& c : s)
            c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
        return s;
    }
    static std::string BigEndian(std::uint32_t v)
    {
        return { static_cast<char>(v >> 24), static_cast<char>(v >> 16 & 0xFF), static_cast<char>(v >> 8 & 0xFF),
                 static_cast<char>(v & 0xFF) };
    }

    std::vector<TagSpec> m_tags;
    size_t m_leafKeys = 40;
};

} // namespace testing_support
