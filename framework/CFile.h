#pragma once

#include "framework/CException.h"
#include "framework/CString.h"

#include <cstdint>

// What the status query by path reports.
struct CFileStatus {
    std::uint64_t m_size = 0;
    bool m_isDirectory = false;
    bool m_isRegular = false; // a regular file: not a folder, a pipe or a device
};

// A file opened by path, read and written in bytes, seekable with 64-bit
// offsets. Every operating-system failure raises CFileException naming the
// file. Opening for reading never waits: anything but a regular file (a pipe,
// a console, a device) is refused with invalidFile.
//
// shareExclusive differs by platform. On Windows the file is opened with no
// sharing: every other opener, whatever program it is, gets a sharing
// violation meanwhile, and opening a file another opener holds fails with one.
// On POSIX the lock is advisory (flock): it keeps out other openers that lock
// too (this program, another copy of it) but not programs that don't, and on
// a file system that cannot lock the file is opened without it.
class CFile {
public:
    enum OpenFlags : unsigned {
        modeRead = 0x0000,       // read an existing file
        modeWrite = 0x0001,      // write
        modeCreate = 0x1000,     // create the file, or empty an existing one
        modeCreateNew = 0x2000,  // with modeCreate: fail when the file exists
        shareExclusive = 0x0010, // held against other openers: see above
    };
    enum SeekPosition { begin = 0, current = 1, end = 2 };

    CFile() = default;
    ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // modeRead | shareExclusive, or modeCreate | modeWrite | shareExclusive.
    void Open(const CString& path, unsigned flags);
    bool IsOpen() const { return m_handle != kNoHandle; }
    // The name the file's errors give from now on.
    void SetFilePath(const CString& path) { m_path = path; }
    // Standard output, for writing; name is what error messages call it.
    // Closing this file leaves the process's standard output open.
    void OpenStandardOutput(const CString& name);

    // Reads up to count bytes; fewer only at the end of the file.
    unsigned Read(void* buffer, unsigned count);
    // Reads up to count bytes from the given offset, whatever the file's
    // position; fewer only at the end of the file.
    unsigned ReadAt(std::uint64_t offset, void* buffer, unsigned count);
    // Writes all count bytes; a short write raises diskFull.
    void Write(const void* buffer, unsigned count);
    std::uint64_t Seek(std::int64_t offset, SeekPosition from);
    std::uint64_t GetLength() const;
    // Cuts the file to length bytes and puts the position there: what an
    // output wrote after that point is undone.
    void SetLength(std::uint64_t length);
    // Closes the file; an error reported by the system on closing is raised.
    void Close();
    // Closes the file, ignoring any error: for giving up after a failure.
    void Abort() noexcept { CloseQuietly(); }

    // False when the path names nothing that exists (or is not valid). On
    // Windows a path to a device or a named pipe (NUL, COM1, \\.\pipe\x) is
    // reported as present and not regular without querying it, since a query
    // can connect to the pipe.
    static bool GetStatus(const CString& path, CFileStatus& status);
    static void Remove(const CString& path);
    // Moves the file at from to the path to, replacing a file there.
    static void Rename(const CString& from, const CString& to);
    // The existing file in path's folder whose name is path's name in any
    // letter case, the exact spelling first; empty when there is none.
    static CString FindIgnoringCase(const CString& path);
    // True when both paths name one existing file, whatever links, letter
    // case or ".." lead to it.
    static bool IsSameFile(const CString& first, const CString& second);

private:
    static constexpr std::intptr_t kNoHandle = -1;

    [[noreturn]] void ThrowLastError() const;
    void CloseQuietly() noexcept;

    std::intptr_t m_handle = kNoHandle;
    CString m_path;
};
