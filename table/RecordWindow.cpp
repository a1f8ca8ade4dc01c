// RecordWindow: the window of records, its read-ahead thread, and the choice of where the records come from.

#include "table/RecordWindow.h"

#include "framework/BackgroundTask.h"
#include "table/CompressedTable.h"
#include "table/TableHeader.h"

#include <algorithm>
#include <exception>

namespace {

// The read-ahead window's size: large reads, small memory.
constexpr unsigned kWindowBytes = 256 * 1024;

// The records that begin inside size bytes after the header, the last one
// only when more than its first byte is there (a lone final byte is the
// end-of-file marker).
std::uint64_t HeldRecords(std::uint64_t size, std::uint16_t recordLength)
{
    return size > 1 ? (size - 2) / recordLength + 1 : 0;
}

} // namespace

// The window after a full one, read on a thread of its own while a walk goes
// through that one: the system's copying of the table into memory, or the
// expansion of a compressed table, takes place beside the reader's work.
// The source is read by one thread at a time: the reader takes the window
// read ahead, or waits for it, before it reads the source itself. A read
// that fails raises its CFileException when its window is taken, where the
// reader's own read would have.
class RecordWindow::ReadAhead {
public:
    ReadAhead(RecordSource& source, size_t windowBytes)
        : m_source(source), m_window(std::make_unique<char[]>(windowBytes))
    {
        std::fill_n(m_window.get(), windowBytes, ' ');
    }

    // Reads count records from record first on, at offset, meanwhile.
    void Start(std::uint32_t first, std::uint32_t count, std::uint64_t offset, unsigned bytes)
    {
        m_first = first;
        m_count = count;
        m_started = true;
        m_reading.Start([this, offset, bytes] { m_got = m_source.Read(offset, m_window.get(), bytes); });
    }
    // The records asked for, if they are those read ahead: their window
    // takes the place of `window`, and `got` is how many bytes were read.
    // Otherwise false, and nothing reads the source any more.
    bool Take(std::uint32_t first, std::uint32_t count, std::unique_ptr<char[]>& window, unsigned& got)
    {
        const std::exception_ptr failure = m_reading.Finish();
        const bool held = m_started && m_first == first && m_count == count;
        m_started = false;
        if (!held)
            return false;
        if (failure)
            std::rethrow_exception(failure);
        window.swap(m_window);
        got = m_got;
        return true;
    }

private:
    RecordSource& m_source;
    std::unique_ptr<char[]> m_window;
    std::uint32_t m_first = 0, m_count = 0;
    unsigned m_got = 0;
    bool m_started = false;
    BackgroundTask m_reading; // last: its task uses the rest
};

RecordWindow::RecordWindow() = default;

RecordWindow::~RecordWindow()
{
    Close();
}

void RecordWindow::Open(std::unique_ptr<CFile> file, const CString& path, const TableHeader& header)
{
    const std::uint16_t recordLength = header.RecordLength();
    std::unique_ptr<RecordSource> source;
    const std::string_view headerRead = header.Bytes();
    if (CompressedTable::IsCompressed(path, headerRead))
        source = std::make_unique<CompressedTable>(std::move(file), path, headerRead.substr(0, header.HeaderLength()),
                                                   header.ClaimedRecords(), recordLength);
    else
        source = std::make_unique<FileRecords>(std::move(file), header.HeaderLength());
    // A header may claim more records than the file holds: only those that
    // begin inside it count.
    const std::uint64_t held = HeldRecords(source->Size(), recordLength);

    m_source = std::move(source);
    m_spare = std::make_unique<char[]>(recordLength + kSlack);
    std::fill_n(m_spare.get(), recordLength + kSlack, ' ');
    m_count = static_cast<std::uint32_t>(std::min<std::uint64_t>(header.ClaimedRecords(), held));
    m_recordLength = recordLength;
    m_capacity = std::max(1u, kWindowBytes / recordLength);
    const size_t windowBytes = size_t{ m_capacity } * recordLength + kSlack;
    m_window = std::make_unique<char[]>(windowBytes);
    std::fill_n(m_window.get(), windowBytes, ' ');
    // Record 1 alone: opening reads no more than the header, the field
    // table and the first record (and checks the end of a table that has
    // none).
    Fill(1, std::min(m_count, 1u));
}

void RecordWindow::Close()
{
    m_ahead.reset(); // before the source it reads
    m_source.reset();
    m_count = 0;
    m_recordLength = 0;
    m_spare.reset();
    m_window.reset();
    m_capacity = 0;
    m_first = 0;
    m_held = 0;
}

bool RecordWindow::Refill(std::uint32_t n, const char*& record)
{
    // The loaded record moves out of the window's way first.
    if (record != m_spare.get()) {
        std::copy_n(record, m_recordLength, m_spare.get());
        record = m_spare.get();
    }
    const std::uint32_t first = (n - 1) / m_capacity * m_capacity + 1;
    Fill(first, std::min(m_capacity, m_count - first + 1));
    return n <= m_count;
}

void RecordWindow::Fill(std::uint32_t first, std::uint32_t count)
{
    // Emptied first, so that a read that fails leaves no window half filled.
    m_held = 0;
    const size_t bytes = size_t{ count } * m_recordLength;
    const unsigned got = ReadWindow(first, count);
    // A compressed table's records may end before its header says: the
    // stream tells only once it has ended.
    if (got < bytes)
        m_count = static_cast<std::uint32_t>(
            std::min<std::uint64_t>(m_count, HeldRecords(m_source->Size(), m_recordLength)));
    // The part of a last record that the file cuts short reads as blanks,
    // never as the bytes of the record before.
    std::fill(m_window.get() + got, m_window.get() + bytes, ' ');
    const std::uint32_t held = m_count >= first ? std::min(count, m_count - first + 1) : 0;
    if (std::uint64_t{ first } + held > m_count)
        m_source->CheckEnd();
    m_first = first;
    m_held = held;
    // A full window with records after it: the next, meanwhile.
    const std::uint64_t next = std::uint64_t{ first } + count;
    if (count == m_capacity && held == count && next <= m_count) {
        if (!m_ahead)
            m_ahead = std::make_unique<ReadAhead>(*m_source, size_t{ m_capacity } * m_recordLength + kSlack);
        const auto nextCount = static_cast<std::uint32_t>(std::min<std::uint64_t>(m_capacity, m_count - next + 1));
        m_ahead->Start(static_cast<std::uint32_t>(next), nextCount, (next - 1) * m_recordLength,
                       static_cast<unsigned>(size_t{ nextCount } * m_recordLength));
    }
}

unsigned RecordWindow::ReadWindow(std::uint32_t first, std::uint32_t count)
{
    unsigned got = 0;
    if (m_ahead && m_ahead->Take(first, count, m_window, got))
        return got;
    return m_source->Read(std::uint64_t{ first - 1 } * m_recordLength, m_window.get(),
                          static_cast<unsigned>(size_t{ count } * m_recordLength));
}
