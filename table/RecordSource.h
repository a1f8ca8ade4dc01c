#pragma once

#include "framework/CFile.h"

#include <cstdint>
#include <memory>

// Where a table's records come from, counted from record 1's first byte: the
// table's own file, or the stream of a compressed table as it expands. The
// reader asks for its read-ahead windows one after another and chooses the
// source once, when it opens the table.
class RecordSource {
public:
    virtual ~RecordSource() = default;

    // Up to count bytes from offset on; fewer only where the bytes after the
    // header end.
    virtual unsigned Read(std::uint64_t offset, char* buffer, unsigned count) = 0;
    // How many bytes follow the header: the records and anything after them.
    // A stream not yet expanded to its end gives the most there can be.
    virtual std::uint64_t Size() const = 0;
    // The reader has read its last record: anything wrong with what is left
    // raises CFileException now, before an export of the table is complete.
    virtual void CheckEnd() {}
};

// The records as the table's file holds them after its header.
class FileRecords : public RecordSource {
public:
    FileRecords(std::unique_ptr<CFile> file, std::uint16_t headerLength)
        : m_file(std::move(file)), m_headerLength(headerLength)
    {
        const std::uint64_t length = m_file->GetLength();
        m_size = length > headerLength ? length - headerLength : 0;
    }

    unsigned Read(std::uint64_t offset, char* buffer, unsigned count) override
    {
        return m_file->ReadAt(m_headerLength + offset, buffer, count);
    }
    std::uint64_t Size() const override { return m_size; }

private:
    std::unique_ptr<CFile> m_file;
    std::uint16_t m_headerLength;
    std::uint64_t m_size = 0;
};
