#pragma once

// RecordWindow: an open table's records, served in place from a read-ahead window.

#include "framework/ByteSearch.h"
#include "framework/CFile.h"
#include "framework/CString.h"
#include "table/RecordSource.h"

#include <cstddef>
#include <cstdint>
#include <memory>

class TableHeader;

// The records of an open table, served in place from a window of at most
// 256 KiB of neighbouring records, so that a walk through the table, or the
// cells of the rows the list shows, cost one read per window rather than one
// per record, and no copy of each record; the window after it is read
// meanwhile, on a thread of its own. A compressed table (.dbc) is read as
// the .dbf it was, its records expanded as they are read.
class RecordWindow {
public:
    // Room after every record served that may be read whatever the record:
    // blanks, or the bytes of the records after it.
    static constexpr size_t kSlack = 32;

    RecordWindow();
    ~RecordWindow();
    RecordWindow(const RecordWindow&) = delete;
    RecordWindow& operator=(const RecordWindow&) = delete;

    // Takes file, which path opened, for the records header describes, and
    // reads record 1 (or checks the end of a table that has none). A read
    // that fails, or damage, raises CFileException; the window is then
    // closed again by Close.
    void Open(std::unique_ptr<CFile> file, const CString& path, const TableHeader& header);
    void Close();
    bool IsOpen() const { return m_source != nullptr; }
    // What the header claims, or the records the file holds when it holds
    // fewer; a compressed table's, until its stream ends early.
    std::uint32_t Count() const { return m_count; }
    // Where a reader's record moves while the window is filled again: a
    // blank record until then.
    const char* Spare() const { return m_spare.get(); }

    // Points record at record n, 1 to Count(), in place in the window. When
    // n lies outside the window, the window is filled again first, record
    // (one the window served, or Spare()) moving out of its way to Spare(),
    // where it stays when the read fails. False, and record at Spare(), when
    // the records end before n. Inline: a walk loads every record.
    ORVALIS_ALWAYS_INLINE bool Load(std::uint32_t n, const char*& record)
    {
        // Windows lie on fixed boundaries, so that a walk backwards is
        // served as well as one forwards.
        if ((n < m_first || n - m_first >= m_held) && !Refill(n, record))
            return false;
        record = m_window.get() + size_t{ n - m_first } * m_recordLength;
        return true;
    }

private:
    bool Refill(std::uint32_t n, const char*& record);
    // Reads count records from record first on into the window: fewer where
    // the records end, which lowers Count().
    void Fill(std::uint32_t first, std::uint32_t count);
    // The bytes of count records from record first on, into the window.
    unsigned ReadWindow(std::uint32_t first, std::uint32_t count);

    std::unique_ptr<RecordSource> m_source;
    std::uint32_t m_count = 0;
    std::uint16_t m_recordLength = 0;
    // The reader's record while the window is filled again.
    std::unique_ptr<char[]> m_spare;
    // Records m_first to m_first + m_held - 1 as the file holds them, and
    // kSlack blanks after the last the window can hold. The file is held
    // without sharing while open, so its bytes cannot change under this
    // cache.
    std::unique_ptr<char[]> m_window;
    std::uint32_t m_capacity = 0; // the most records the window holds
    std::uint32_t m_first = 0;
    std::uint32_t m_held = 0;
    // The window after a full one, read on a thread of its own while the
    // records of that one are gone through; none for a table of one window.
    class ReadAhead;
    std::unique_ptr<ReadAhead> m_ahead;
};
