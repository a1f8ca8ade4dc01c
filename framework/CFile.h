#pragma once

#include "framework/CException.h"
#include "framework/CString.h"

#include <cstdint>

// What the status query by path reports.
struct CFileStatus {
    std::uint64_t m_size = 0;
    bool m_isDirectory = false;
};

// A file opened by path, read and written in bytes, seekable with 64-bit
// offsets. Every operating-system failure raises CFileException naming the
// file. The file is held without sharing: while it is open here, no other
// opener may read or write it, and opening a file that another opener holds
// fails with a sharing violation.
class CFile {
public:
    enum OpenFlags : unsigned {
        modeRead = 0x0000,       // read an existing file
        modeWrite = 0x0001,      // write
        modeCreate = 0x1000,     // create the file, or empty an existing one
        shareExclusive = 0x0010, // nobody else may open it meanwhile
    };
    enum SeekPosition { begin = 0, current = 1, end = 2 };

    CFile() = default;
    ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // modeRead | shareExclusive, or modeCreate | modeWrite | shareExclusive.
    void Open(const CString& path, unsigned flags);
    bool IsOpen() const { return m_handle != kNoHandle; }

    // Reads up to count bytes; fewer only at the end of the file.
    unsigned Read(void* buffer, unsigned count);
    // Writes all count bytes; a short write raises diskFull.
    void Write(const void* buffer, unsigned count);
    std::uint64_t Seek(std::int64_t offset, SeekPosition from);
    std::uint64_t GetLength() const;
    // Closes the file; an error reported by the system on closing is raised.
    void Close();
    // Closes the file, ignoring any error: for giving up after a failure.
    void Abort() noexcept { CloseQuietly(); }

    // False when the path names nothing that exists (or is not valid).
    static bool GetStatus(const CString& path, CFileStatus& status);
    static void Remove(const CString& path);

private:
    static constexpr std::intptr_t kNoHandle = -1;

    [[noreturn]] void ThrowLastError() const;
    void CloseQuietly() noexcept;

    std::intptr_t m_handle = kNoHandle;
    CString m_path;
};
