// Opens arbitrary bytes as a table and its memo file, renders every field of
// every record in all three ways, formats each record's line in every export
// layout, and writes the whole table with its memos as text and as SQL
// scripts; a compressed table is also read at random places, from
// checkpoints kept each piece; the sanitizers catch any read outside a
// buffer.
//
// An input is a table and a memo file: its first two bytes, little-endian,
// give the table's length in their low 15 bits, and in the highest whether
// the table is a .dbc (a compressed table, or a database container); the
// table's bytes follow, then the memo file's. The memo file's bytes are also
// read as the table's structural index (.cdx), and, beside a container, as
// its .dct.

#include "export/SqlScriptWriter.h"
#include "export/TextExportWriter.h"
#include "framework/CodePage.h"
#include "table/CompressedTable.h"
#include "table/DatabaseContainer.h"
#include "table/MemoFile.h"
#include "table/StructuralIndex.h"
#include "table/mDBase.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <string_view>
#include <unistd.h>

namespace {

const std::string kStem = "/tmp/orvalis-fuzz-" + std::to_string(getpid());

bool WriteFile(const std::string& path, const std::uint8_t* data, size_t size)
{
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        return false;
    std::fwrite(data, 1, size, out);
    return std::fclose(out) == 0;
}

// Every writer that reads memos, with the memo file open, into nowhere; a
// double-byte page or UTF-8, so that memo pieces cut characters.
void WriteWithMemos(mDBase& table, MemoFile& memo, bool utf8)
{
    static const CodePageConverter dbcs(932), unicode(kCodePageUtf8), latin(kCodePageWindows1252);
    const CodePageConverter& converter = utf8 ? unicode : dbcs;
    static TextExportWriter tab(ExportFormat::TabSeparated, "\t");
    static TextExportWriter csv(ExportFormat::CommaSeparated, ",");
    static SqlScriptWriter postgres(SqlDialect::Named("postgresql"), "t", dbcs),
        sqlite(SqlDialect::Named("sqlite"), "t", unicode), mysql(SqlDialect::Named("mysql"), "t", latin);
    tab.SetConverter(&converter);
    csv.SetSkipDeleted(utf8);
    mysql.SetSkipDeleted(!utf8);
    ExportWriter* writers[] = { &tab, &csv, &postgres, &sqlite, &mysql };
    for (ExportWriter* writer : writers) {
        writer->SetMemoFile(&memo);
        CFile out;
        out.Open("/dev/null", CFile::modeCreate | CFile::modeWrite);
        try {
            writer->Write(table, out);
        } catch (const CFileException&) {
            // A table without fields has no script; a compressed table may
            // be damaged.
        }
    }
}

// Every record up to a bound that keeps each input quick, and the last,
// rendered every way and formatted as a line of every layout.
size_t Render(mDBase& table)
{
    static TextExportWriter writers[] = {
        { ExportFormat::FixedLength, "" }, { ExportFormat::TabSeparated, "\t" },
        { ExportFormat::CommaSeparated, "," }, { ExportFormat::OtherCharacter, "" },
    };
    const std::uint32_t count = table.GetRecordCount();
    const std::uint32_t walk = std::min<std::uint32_t>(count, 4096);
    size_t total = 0;
    for (std::uint32_t n = 1; n <= walk + 1; ++n) {
        const std::uint32_t record = n <= walk ? n : count;
        if (table.GoTo(record) != 1)
            continue;
        for (int i = -1; i <= table.GetFieldCount(); ++i)
            total += static_cast<size_t>(table.GetFieldText(i).GetLength() +
                                         table.GetExportText(i).GetLength() +
                                         table.GetDisplayText(i).GetLength());
        for (TextExportWriter& writer : writers)
            total += static_cast<size_t>(writer.FormatLine(table).GetLength());
    }
    table.MoveNext();
    table.GoTo(0);
    table.GoTo(count + 1u);
    // Back and forth, as the window's "go to" does.
    for (const std::uint32_t record : { count / 2, 1u, count, count / 3 + 1 })
        if (table.GoTo(record) == 1)
            total += static_cast<size_t>(table.GetFieldText(0).GetLength());
    return total;
}

// A compressed table's output read at random places, and to its end, with
// three checkpoints at most, at first one each piece: resumed expansions and
// the thinning of checkpoints on every input.
void ReadAtRandom(const std::string& path, std::string_view bytes)
{
    if (bytes.size() < 12)
        return;
    const auto headerLength = static_cast<size_t>(LittleEndian<2>(bytes.data() + 8));
    if (headerLength > bytes.size() || !CompressedTable::IsCompressed(path.c_str(), bytes.substr(0, headerLength)))
        return;
    try {
        auto file = std::make_unique<CFile>();
        file->Open(path.c_str(), CFile::modeRead | CFile::shareExclusive);
        CompressedTable source(std::move(file), path.c_str(), bytes.substr(0, headerLength),
                               static_cast<std::uint32_t>(LittleEndian<4>(bytes.data() + 4)),
                               static_cast<std::uint16_t>(LittleEndian<2>(bytes.data() + 10)), 3, 1);
        std::minstd_rand random(static_cast<unsigned>(bytes.size()));
        static char buffer[70000];
        for (int i = 0; i < 6; ++i)
            source.Read(random() % (1u << 20), buffer, static_cast<unsigned>(random() % sizeof buffer));
        source.CheckEnd();
        source.Read(random() % (source.Size() + 1), buffer, sizeof buffer);
    } catch (const CFileException&) {
        // A damaged stream.
    }
}

// The files of a Visual FoxPro database made of the same bytes: the table's
// index, and the container it is or its backlink names.
void ReadDatabaseFiles(const std::string& tablePath, const std::uint8_t* rest, size_t size)
{
    const std::string index = kStem + ".cdx", memo = kStem + ".dct";
    if (WriteFile(index, rest, size)) {
        try {
            StructuralIndex().Open(tablePath.c_str());
        } catch (const CFileException&) {
            // A damaged index.
        }
        std::remove(index.c_str());
    }
    if (!DatabaseContainer::IsContainer(tablePath.c_str()) || !WriteFile(memo, rest, size))
        return;
    try {
        DatabaseContainer container;
        container.Open(tablePath.c_str());
        for (const DatabaseContainer::Table& table : container.GetTables())
            container.TablePath(table);
    } catch (const CFileException&) {
        // A damaged container.
    }
    std::remove(memo.c_str());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const size_t tableSize = std::min<size_t>(data[0] | (data[1] & 0x7F) << 8, size - 2);
    const std::string tablePath = kStem + (data[1] & 0x80 ? ".dbc" : ".dbf");
    if (!WriteFile(tablePath, data + 2, tableSize))
        return 0;

    mDBase table;
    try {
        if (table.Open(tablePath.c_str()) != 1)
            return 0;
    } catch (const CFileException&) {
        return 0;
    }
    size_t total = 0;
    try {
        DatabaseContainer::LongNames names;
        CString problem;
        DatabaseContainer::FindLongNames(table, names, problem);
        total = Render(table);
    } catch (const CFileException&) {
        // A compressed table found damaged on the way.
    }

    // The memo file the version byte names, served through a window small
    // enough that memos come in many pieces.
    const bool fox = MemoFormatOf(table.GetVersion()) == MemoFormat::FoxPro;
    if (WriteFile(kStem + (fox ? ".fpt" : ".dbt"), data + 2 + tableSize, size - 2 - tableSize)) {
        MemoFile memo(16 + size % 64);
        try {
            memo.Open(tablePath.c_str(), table.GetVersion());
            WriteWithMemos(table, memo, size % 2 == 0);
        } catch (const CFileException&) {
            // No memo file that can be read.
        }
        std::remove((kStem + (fox ? ".fpt" : ".dbt")).c_str());
    }
    table.Close();
    ReadAtRandom(tablePath, std::string_view(reinterpret_cast<const char*>(data + 2), tableSize));
    ReadDatabaseFiles(tablePath, data + 2 + tableSize, size - 2 - tableSize);
    std::remove(tablePath.c_str());
    return total == static_cast<size_t>(-1);
}
