// The ZIP archives ZipWriter writes, read back by a reader of the test's own
// that follows every header and inflates every entry with zlib; ZIP64 is
// reached by lowering the size from which it is used.
#include "export/ZipWriter.h"
#include "framework/CFile.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace {

std::uint64_t Le(const std::string& bytes, size_t at, int count)
{
    std::uint64_t value = 0;
    for (int i = count; i-- > 0;)
        value = value << 8 | static_cast<unsigned char>(bytes.at(at + static_cast<size_t>(i)));
    return value;
}

std::string Inflated(const std::string& compressed)
{
    z_stream z{};
    EXPECT_EQ(inflateInit2(&z, -MAX_WBITS), Z_OK);
    std::string out(1 << 20, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
    z.avail_in = static_cast<uInt>(compressed.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(inflate(&z, Z_FINISH), Z_STREAM_END);
    EXPECT_EQ(z.avail_in, 0u) << "the entry's data ends where its stream ends";
    out.resize(z.total_out);
    inflateEnd(&z);
    return out;
}

struct Read {
    std::map<std::string, std::string> Entries;
    std::vector<std::string> Zip64Local, Zip64Central; // the entries with a ZIP64 field there
    bool Zip64End = false;
};

// Reads the archive from its end, as Excel and zipfile do, and checks each
// local header and data descriptor against the central directory. A
// descriptor has 8-byte sizes after a local ZIP64 field, or for sizes from
// zip64From on.
Read ReadArchive(const std::string& zip, std::uint64_t zip64From = ZipWriter::kZip64From)
{
    Read read;
    const size_t end = zip.rfind(std::string("PK\x05\x06", 4));
    EXPECT_EQ(end, zip.size() - 22);
    std::uint64_t count = Le(zip, end + 10, 2), start = Le(zip, end + 16, 4);
    if (count == 0xFFFF || start == 0xFFFFFFFF) {
        read.Zip64End = true;
        EXPECT_EQ(Le(zip, end - 20, 4), 0x07064B50u);
        const size_t record = Le(zip, end - 12, 8);
        EXPECT_EQ(Le(zip, record, 4), 0x06064B50u);
        count = Le(zip, record + 32, 8);
        start = Le(zip, record + 48, 8);
    }
    size_t at = start;
    for (std::uint64_t n = 0; n < count; ++n) {
        EXPECT_EQ(Le(zip, at, 4), 0x02014B50u);
        std::uint64_t compressed = Le(zip, at + 20, 4), size = Le(zip, at + 24, 4), offset = Le(zip, at + 42, 4);
        const auto crc = static_cast<std::uint32_t>(Le(zip, at + 16, 4));
        const size_t nameLength = Le(zip, at + 28, 2), extraLength = Le(zip, at + 30, 2);
        const std::string name = zip.substr(at + 46, nameLength);
        size_t extra = at + 46 + nameLength;
        if (extraLength > 0) {
            read.Zip64Central.push_back(name);
            EXPECT_EQ(Le(zip, extra, 2), 1u);
            extra += 4;
            for (std::uint64_t* value : { &size, &compressed, &offset })
                if (*value == 0xFFFFFFFF) {
                    *value = Le(zip, extra, 8);
                    extra += 8;
                }
        }
        at += 46 + nameLength + extraLength;

        EXPECT_EQ(Le(zip, offset, 4), 0x04034B50u) << name;
        EXPECT_EQ(Le(zip, offset + 6, 2) & 0x0808u, 0x0808u) << "a descriptor, and UTF-8 names";
        const size_t localExtra = Le(zip, offset + 28, 2);
        EXPECT_EQ(zip.substr(offset + 30, nameLength), name);
        const bool zip64 = localExtra > 0;
        if (zip64)
            read.Zip64Local.push_back(name);
        const size_t data = offset + 30 + nameLength + localExtra;
        const std::string content = Inflated(zip.substr(data, compressed));
        EXPECT_EQ(content.size(), size) << name;
        EXPECT_EQ(crc32(0, reinterpret_cast<const Bytef*>(content.data()), static_cast<uInt>(content.size())), crc);
        const size_t descriptor = data + compressed;
        EXPECT_EQ(Le(zip, descriptor, 4), 0x08074B50u) << name;
        EXPECT_EQ(Le(zip, descriptor + 4, 4), crc);
        const int width = zip64 || compressed >= zip64From || size >= zip64From ? 8 : 4;
        EXPECT_EQ(Le(zip, descriptor + 8, width), compressed);
        EXPECT_EQ(Le(zip, descriptor + 8 + width, width), size);
        read.Entries[name] = content;
    }
    return read;
}

std::string Text(size_t size, unsigned seed)
{
    std::string text;
    for (size_t i = 0; text.size() < size; ++i)
        text += "<c s=\"" + std::to_string(i * seed % 977) + "\"><v>" + std::to_string(i * 7919 % 100003) + "</v></c>";
    text.resize(size);
    return text;
}

TEST(ZipWriterTest, ArchivesReadBackWithZip64WhereSizesReachIt)
{
    // The big entry's bytes do not compress: its compressed size passes
    // what its size does.
    std::string big;
    std::uint32_t random = 12345;
    while (big.size() < 5000) {
        random = random * 1103515245u + 12345u;
        big += static_cast<char>(random >> 24);
    }
    const std::string small = "hola";
    const struct Case {
        const char* Name;
        std::uint64_t Zip64From;
        std::uint64_t BigMost; // what the big entry says it may reach
        std::vector<std::string> Zip64Local, Zip64Central;
        bool Zip64End;
    } cases[] = {
        { "under 4 GiB: a plain archive", ZipWriter::kZip64From, 5000, {}, {}, false },
        { "an entry that may pass the size, and does", 1000, 5000, { "b.xml" }, { "b.xml", "c.xml" }, true },
        { "an entry that passes what it said it would stay under", 1000, 10, {}, { "b.xml", "c.xml" }, true },
        { "a compressed size past, and the size not", 5002, 100, {}, { "b.xml", "c.xml" }, true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        testing_support::TempDir dir;
        const std::string path = dir.File("a.zip");
        {
            CFile out;
            out.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite);
            ZipWriter zip(out, c.Zip64From);
            zip.Add("a.xml", small);
            zip.Begin("b.xml", c.BigMost);
            zip.Write(big.substr(0, 1234));
            zip.Write(big.substr(1234));
            zip.End();
            zip.Add("c.xml", small);
            zip.Finish();
            out.Close();
        }
        std::ifstream in(path, std::ios::binary);
        const Read read = ReadArchive(std::string(std::istreambuf_iterator<char>(in), {}), c.Zip64From);
        EXPECT_EQ(read.Entries, (std::map<std::string, std::string>{ { "a.xml", small }, { "b.xml", big }, { "c.xml", small } }));
        EXPECT_EQ(read.Zip64Local, c.Zip64Local);
        EXPECT_EQ(read.Zip64Central, c.Zip64Central);
        EXPECT_EQ(read.Zip64End, c.Zip64End);
    }
}

TEST(ZipWriterTest, RollBackTakesOutTheEntriesAfterTheMark)
{
    // Small entries stay in the writer's buffer; a large one reaches the
    // file, which is then cut back.
    for (const size_t size : { size_t(100), size_t(3) << 20 }) {
        testing_support::TempDir dir;
        const std::string path = dir.File("a.zip"), kept = Text(200, 5);
        {
            CFile out;
            out.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite);
            ZipWriter zip(out);
            zip.Add("kept.xml", kept);
            const ZipWriter::Mark mark = zip.Here();
            zip.Add("gone.xml", "x");
            zip.Begin("half.xml", size);
            zip.Write(Text(size, 11));
            zip.RollBack(mark);
            zip.Add("after.xml", kept);
            zip.Finish();
            out.Close();
        }
        std::ifstream in(path, std::ios::binary);
        const Read read = ReadArchive(std::string(std::istreambuf_iterator<char>(in), {}));
        EXPECT_EQ(read.Entries, (std::map<std::string, std::string>{ { "kept.xml", kept }, { "after.xml", kept } }));
    }
}

} // namespace
