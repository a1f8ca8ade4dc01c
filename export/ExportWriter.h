#pragma once

// The record walk every export shares. Classes: ExportWriter.

#include "export/ExportWarnings.h"
#include "export/FieldValue.h"
#include "export/LineBuffer.h"
#include "framework/CFile.h"
#include "framework/CString.h"
#include "table/MemoFile.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class CodePageConverter;
class OutputFile;
class mDBase;

// The name field i goes by: names[i] where names gives one for each field (a
// database container's long names), otherwise the field's own.
std::string_view FieldNameOf(const mDBase& table, const std::vector<CString>& names, int i);

// What every export shares: the walk through the records, the output gathered
// in blocks of bounded size, the conversion of texts to UTF-8 and the reading
// of memos, with the warnings they give. A writer of each kind of output adds
// what goes before, into and after the records.
class ExportWriter {
public:
    virtual ~ExportWriter() = default;

    // Options of the command-line export; the program's own export has none.
    // Texts are converted to UTF-8 from the table's code page; memos are read
    // from its memo file, held open by the caller; records marked deleted are
    // left out.
    void SetConverter(const CodePageConverter* converter) { m_converter = converter; }
    void SetMemoFile(MemoFile* memo)
    {
        m_memo = memo;
        m_values.SetMemoFile(memo);
    }
    void SetSkipDeleted(bool skip) { m_skipDeleted = skip; }
    // The names the fields go by, in the table's code page, instead of those
    // the table holds (a database container's long names); one for each field.
    void SetFieldNames(std::vector<CString> names) { m_fieldNames = std::move(names); }
    const ExportWarnings& GetWarnings() const { return m_warnings; }
    // How many bytes the last write put into its file.
    std::uint64_t Written() const { return m_written; }

    // Writes the table into the file at path, which it replaces only once
    // complete (see OutputFile). Any failure raises CFileException and leaves
    // an earlier file as it was; a device or FIFO keeps what was written, and
    // the message says it is incomplete. The table's own file is refused as
    // the path.
    void Export(mDBase& table, const CString& path);
    // The same into an output opened already, which it commits or abandons.
    void Export(mDBase& table, OutputFile& out);

    // Everything, into a file open for writing.
    void Write(mDBase& table, CFile& out);

    // The walk alone: records first to the last.
    void WriteRecords(mDBase& table, CFile& out, std::uint32_t first = 1);

protected:
    // What a writer decides once for the table, before anything is written.
    virtual void Prepare(const mDBase& /*table*/) {}
    virtual void AppendStart(const mDBase& /*table*/, LineBuffer& /*out*/) {}
    virtual void AppendRecord(const mDBase& table, LineBuffer& out) = 0;
    virtual void AppendEnd(const mDBase& /*table*/, LineBuffer& /*out*/) {}

    const CodePageConverter* Converter() const { return m_converter; }
    // The name field i goes by.
    std::string_view FieldName(const mDBase& table, int i) const;
    bool ReadsMemos() const { return m_memo != nullptr; }
    // How many bytes the output holds, written or still in out.
    std::uint64_t Position(const LineBuffer& out) const { return m_written + out.Size(); }
    // The record being written, for the warnings.
    void SetRecord(std::uint32_t record) { m_record = record; }
    void Warn(ExportWarnings::Kind kind, int field, std::uint64_t count = 1);

    // text in UTF-8, when converting: a view valid until the next call.
    std::string_view Converted(std::string_view text, int field);

    // The types of the table's fields, for Decode: set before Prepare.
    void PrepareValues(const mDBase& table) { m_values.Prepare(table); }
    ValueType TypeOf(int field) const { return m_values.TypeOf(field); }
    // Field i of the loaded record, typed; one that cannot be read is counted.
    void Decode(const mDBase& table, int i, FieldValue& value)
    {
        m_values.Decode(table, i, value);
        if (value.What == FieldValue::Is::Invalid)
            Warn(value.Warning, i);
    }

    // A currency's value, with exactly four decimals.
    static void AppendCurrency(LineBuffer& out, std::int64_t tenThousandths);

    // Where field i's memo lies; counts an unreadable one.
    enum class MemoFound { None, Found, Unreadable };
    MemoFound FindMemo(const mDBase& table, int i, MemoFile::Memo& memo);

    // The memo's bytes, converted when `text`, handed to append in pieces;
    // the output goes to the file whenever it fills a block, so that a memo of
    // any length takes no more memory than a piece.
    template <class Append>
    void AppendMemo(const MemoFile::Memo& memo, int field, bool text, LineBuffer& out, Append&& append)
    {
        m_carry.clear();
        for (std::uint64_t from = 0; from < memo.Length;) {
            std::string_view piece = m_memo->Piece(memo, from);
            from += piece.size();
            if (text && m_converter)
                piece = ConvertedPiece(piece, from == memo.Length, field);
            append(piece);
            if (out.Size() >= kBlockSize)
                Flush(out);
        }
    }

    // The file being written, while a write is under way.
    CFile* CurrentOutput() const { return m_out; }
    // A full block's bytes, into the file: on a thread of its own, one block
    // at a time, while the next fills.
    virtual void WriteBlock(CFile& file, std::string_view block);
    // The output so far, out included, is in the file (or the writer's
    // WriteBlock has taken it) when this returns.
    void Drain(LineBuffer& out);

    // Lines gather in a block until it holds this much, then go out in one
    // write: a few system calls per thousand records instead of one per
    // record, made on a thread of their own while the next block fills.
    static constexpr size_t kBlockSize = 256 * 1024;

private:
    // The output block, empty, for a new output.
    LineBuffer& Block();
    void Records(mDBase& table, std::uint32_t first, LineBuffer& out);
    void Flush(LineBuffer& out);
    std::string_view ConvertedPiece(std::string_view piece, bool last, int field);

    const CodePageConverter* m_converter = nullptr;
    MemoFile* m_memo = nullptr;
    bool m_skipDeleted = false;
    std::vector<CString> m_fieldNames;
    ValueDecoder m_values;
    ExportWarnings m_warnings;
    std::unique_ptr<LineBuffer> m_block;
    class BlockWrites; // the writing of full blocks, beside the filling of the next
    class Writing;
    BlockWrites* m_writes = nullptr; // while writing
    CFile* m_out = nullptr;          // while writing; never set for a line alone
    std::uint64_t m_written = 0;
    std::uint32_t m_record = 0;
    std::string m_converted;         // a value converted to UTF-8
    std::string m_carry;             // the start of a character a memo piece cut short
};
