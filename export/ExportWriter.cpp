// The record walk every export shares, and the writing of its blocks.
#include "export/ExportWriter.h"

#include "framework/BackgroundTask.h"
#include "framework/CodePage.h"
#include "framework/OutputFile.h"
#include "table/mDBase.h"

#include <charconv>
#include <exception>

// Full blocks go to the file on a thread of their own, one at a time, while
// the next is filled: the system's copying of the output into the file
// takes place beside the export's work instead of after it. A write that
// fails fails the next block handed over, or the end.
class ExportWriter::BlockWrites {
public:
    BlockWrites(ExportWriter& writer, CFile& file)
        : m_writer(writer), m_file(file), m_full(kBlockSize + kBlockSize / 4)
    {
    }

    // The block's bytes go to the file; it comes back empty.
    void Hand(LineBuffer& block)
    {
        Finish();
        m_full.Swap(block);
        block.Clear();
        m_writing.Start([this] { m_writer.WriteBlock(m_file, m_full.View()); });
    }
    // Every block handed over is in the file.
    void Finish()
    {
        if (const std::exception_ptr failure = m_writing.Finish())
            std::rethrow_exception(failure);
    }

private:
    ExportWriter& m_writer;
    CFile& m_file;
    LineBuffer m_full; // the block being written
    BackgroundTask m_writing; // last: its task uses the rest
};

// Restores the writer's output to none when a write ends, however it ends;
// the blocks handed over are written first.
class ExportWriter::Writing {
public:
    Writing(ExportWriter& writer, CFile*& out, BlockWrites*& writes, CFile& file)
        : m_out(out), m_writesOf(writes), m_writes(writer, file)
    {
        m_out = &file;
        m_writesOf = &m_writes;
    }
    ~Writing()
    {
        m_out = nullptr;
        m_writesOf = nullptr;
    }
    Writing(const Writing&) = delete;
    Writing& operator=(const Writing&) = delete;

private:
    CFile*& m_out;
    BlockWrites*& m_writesOf;
    BlockWrites m_writes;
};

void ExportWriter::Warn(ExportWarnings::Kind kind, int field, std::uint64_t count)
{
    ExportWarnings::Tally& tally = m_warnings.Of[kind];
    if (tally.Count == 0) {
        tally.Record = m_record;
        tally.Field = field;
    }
    tally.Count += count;
}

std::string_view FieldNameOf(const mDBase& table, const std::vector<CString>& names, int i)
{
    if (names.size() == table.GetFieldCount() && i >= 0 && static_cast<size_t>(i) < names.size())
        return names[static_cast<size_t>(i)].View();
    return table.GetField(i).Name.View();
}

std::string_view ExportWriter::FieldName(const mDBase& table, int i) const
{
    return FieldNameOf(table, m_fieldNames, i);
}

std::string_view ExportWriter::Converted(std::string_view text, int field)
{
    if (m_converter->KeepsAscii() && IsAscii(text))
        return text;
    m_converted.clear();
    if (const size_t unmapped = m_converter->AppendUtf8(text, m_converted))
        Warn(ExportWarnings::UnmappedByte, field, unmapped);
    return m_converted;
}

std::string_view ExportWriter::ConvertedPiece(std::string_view piece, bool last, int field)
{
    if (!m_carry.empty()) {
        m_carry.append(piece);
        piece = m_carry;
    }
    m_converted.clear();
    size_t used = piece.size();
    const size_t unmapped = last ? m_converter->AppendUtf8(piece, m_converted)
                                 : m_converter->AppendUtf8Part(piece, m_converted, used);
    if (unmapped)
        Warn(ExportWarnings::UnmappedByte, field, unmapped);
    m_carry = std::string(piece.substr(used));
    return m_converted;
}

ExportWriter::MemoFound ExportWriter::FindMemo(const mDBase& table, int i, MemoFile::Memo& memo)
{
    if (table.IsNullValue(i))
        return MemoFound::None;
    std::uint64_t block = 0;
    switch (table.GetMemoBlock(i, block)) {
    case MemoPointer::None:
        return MemoFound::None;
    case MemoPointer::Block:
        if (m_memo->Find(block, memo))
            return MemoFound::Found;
        break;
    case MemoPointer::Invalid:
        break;
    }
    Warn(ExportWarnings::UnreadableMemo, i);
    return MemoFound::Unreadable;
}

void ExportWriter::AppendCurrency(LineBuffer& out, std::int64_t tenThousandths)
{
    // Exactly four decimals, in integers all the way.
    const auto bits = static_cast<std::uint64_t>(tenThousandths);
    const bool negative = tenThousandths < 0;
    const std::uint64_t magnitude = negative ? 0 - bits : bits;
    constexpr size_t kRoom = 32;
    char* to = out.Claim(kRoom);
    if (negative)
        *to++ = '-';
    to = std::to_chars(to, to + 24, magnitude / 10000).ptr;
    *to++ = '.';
    const auto fraction = static_cast<unsigned>(magnitude % 10000);
    for (unsigned digit = 1000; digit > 0; digit /= 10)
        *to++ = static_cast<char>('0' + fraction / digit % 10);
    out.Keep(to);
}

void ExportWriter::Flush(LineBuffer& out)
{
    if (!m_out)
        return; // a line alone, kept whole
    m_written += out.Size();
    m_writes->Hand(out);
}

void ExportWriter::WriteBlock(CFile& file, std::string_view block)
{
    file.Write(block.data(), static_cast<unsigned>(block.size()));
}

void ExportWriter::Drain(LineBuffer& out)
{
    Flush(out);
    if (m_writes)
        m_writes->Finish();
}

void ExportWriter::Records(mDBase& table, std::uint32_t first, LineBuffer& out)
{
    table.GoTo(first);
    // 64 bits: a 32-bit counter would never pass the last of 4,294,967,295
    // records.
    for (std::uint64_t record = first; record <= table.GetRecordCount(); ++record) {
        if (!m_skipDeleted || !table.IsDeleted()) {
            m_record = static_cast<std::uint32_t>(record);
            AppendRecord(table, out);
            if (out.Size() >= kBlockSize)
                Flush(out);
        }
        table.MoveNext();
    }
}

LineBuffer& ExportWriter::Block()
{
    // Kept from one write to the next: a large buffer costs a system call.
    if (!m_block)
        m_block = std::make_unique<LineBuffer>(kBlockSize + kBlockSize / 4);
    m_block->Clear();
    m_written = 0;
    return *m_block;
}

void ExportWriter::WriteRecords(mDBase& table, CFile& out, std::uint32_t first)
{
    const Writing writing(*this, m_out, m_writes, out);
    PrepareValues(table);
    Prepare(table);
    LineBuffer& block = Block();
    Records(table, first, block);
    Flush(block);
    m_writes->Finish();
}

void ExportWriter::Write(mDBase& table, CFile& out)
{
    const Writing writing(*this, m_out, m_writes, out);
    PrepareValues(table);
    Prepare(table);
    LineBuffer& block = Block();
    AppendStart(table, block);
    Records(table, 1, block);
    AppendEnd(table, block);
    Flush(block);
    m_writes->Finish();
}

void ExportWriter::Export(mDBase& table, const CString& path)
{
    // Where the open table cannot be locked against its own export, creating
    // the output would empty the table.
    if (table.IsOpen() && CFile::IsSameFile(table.GetPath(), path))
        throw CFileException(CFileException::accessDenied, path, 0,
                             "La salida %s es la propia tabla; no se escribe sobre ella.");
    OutputFile out;
    out.Open(path);
    Export(table, out);
}

void ExportWriter::Export(mDBase& table, OutputFile& out)
{
    try {
        Write(table, out.File());
        out.Commit();
    } catch (CFileException& e) {
        out.Abandon();
        e.AddSentence(out.IncompleteNote());
        throw;
    } catch (...) {
        out.Abandon();
        throw;
    }
}
