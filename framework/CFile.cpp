#include "framework/CFile.h"

#include "framework/FilePath.h"

#include <algorithm>
#include <cerrno>
#include <memory>

#ifdef _WIN32
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>
#else
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

long LastOsError()
{
#ifdef _WIN32
    return static_cast<long>(::GetLastError());
#else
    return errno;
#endif
}

[[noreturn]] void Throw(long osError, const CString& path)
{
    throw CFileException(CFileException::OsErrorToCause(osError), path, osError);
}

[[noreturn]] void ThrowNotRegular(const CString& path)
{
    throw CFileException(CFileException::invalidFile, path);
}

#ifdef _WIN32
HANDLE AsHandle(std::intptr_t handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

// prefix is in lower case.
bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size()
        && std::equal(prefix.begin(), prefix.end(), text.begin(),
                      [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

// A path in the device namespace (\\.\ or \\?\ before anything but a drive
// or a UNC share, which is also where the full path puts NUL, CON, COM1 and the
// other reserved names, in any folder) or on a pipe share (\\server\pipe\).
bool IsDeviceOrPipe(const CString& path)
{
    const DWORD needed = ::GetFullPathNameA(path, 0, nullptr, nullptr);
    if (needed == 0)
        return false;
    std::string full(needed, '\0');
    const DWORD length = ::GetFullPathNameA(path, needed, full.data(), nullptr);
    if (length == 0 || length >= needed)
        return false;
    const std::string_view name(full.data(), length);
    if (StartsWithNoCase(name, "\\\\.\\") || StartsWithNoCase(name, "\\\\?\\")) {
        const std::string_view rest = name.substr(4);
        const bool drive = rest.size() >= 3 && std::isalpha(static_cast<unsigned char>(rest[0]))
            && rest[1] == ':' && rest[2] == '\\';
        return !drive && !StartsWithNoCase(rest, "unc\\");
    }
    if (StartsWithNoCase(name, "\\\\")) {
        const size_t share = name.find('\\', 2);
        return share != std::string_view::npos && StartsWithNoCase(name.substr(share), "\\pipe\\");
    }
    return false;
}
#endif

} // namespace

CFile::~CFile()
{
    CloseQuietly();
}

void CFile::ThrowLastError() const
{
    Throw(LastOsError(), m_path);
}

void CFile::Open(const CString& path, unsigned flags)
{
    CloseQuietly();
    m_path = path;
    const bool write = (flags & modeWrite) != 0;
    const bool create = (flags & modeCreate) != 0;
    const bool exclusive = (flags & shareExclusive) != 0;
    const bool createNew = create && (flags & modeCreateNew) != 0;
#ifdef _WIN32
    HANDLE handle = ::CreateFileA(path, write ? GENERIC_WRITE : GENERIC_READ,
                                  exclusive ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  createNew ? CREATE_NEW : create ? CREATE_ALWAYS : OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        ThrowLastError();
    m_handle = reinterpret_cast<std::intptr_t>(handle);
    // A read from a console, a pipe or a serial line could wait for ever.
    if (!write && ::GetFileType(handle) != FILE_TYPE_DISK) {
        CloseQuietly();
        ThrowNotRegular(path);
    }
#else
    // A read open never waits: a FIFO without a writer or a terminal opens at
    // once (and is refused below). The file is emptied only once the lock is
    // held, so that a file another opener holds is never truncated.
    const int access = write ? O_WRONLY : O_RDONLY | O_NONBLOCK | O_NOCTTY;
    const int fd = ::open(path, access | (create ? O_CREAT : 0) | (createNew ? O_EXCL : 0) | O_CLOEXEC, 0666);
    if (fd < 0)
        ThrowLastError();
    m_handle = fd;
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const long error = errno;
        CloseQuietly();
        Throw(error, path);
    }
    if (!write && !S_ISREG(info.st_mode)) {
        CloseQuietly();
        ThrowNotRegular(path);
    }
    if (S_ISDIR(info.st_mode)) {
        CloseQuietly();
        Throw(EISDIR, path);
    }
    if (exclusive && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const long error = errno;
        // A file system that cannot lock says ENOLCK or EOPNOTSUPP; NFS refuses
        // an exclusive lock on a file opened only for reading with EBADF.
        // Such a file is used unlocked. A lock held elsewhere is still refused.
        if (error != ENOLCK && error != EOPNOTSUPP && error != EBADF) {
            CloseQuietly();
            Throw(error, path);
        }
    }
    if (create && S_ISREG(info.st_mode) && ::ftruncate(fd, 0) != 0) {
        const long error = errno;
        CloseQuietly();
        Throw(error, path);
    }
#endif
}

void CFile::OpenStandardOutput(const CString& name)
{
    CloseQuietly();
    m_path = name;
    // A duplicate, so that closing this file never closes the process's own.
#ifdef _WIN32
    HANDLE duplicate = nullptr;
    if (!::DuplicateHandle(::GetCurrentProcess(), ::GetStdHandle(STD_OUTPUT_HANDLE),
                           ::GetCurrentProcess(), &duplicate, 0, FALSE, DUPLICATE_SAME_ACCESS))
        ThrowLastError();
    m_handle = reinterpret_cast<std::intptr_t>(duplicate);
#else
    const int fd = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
    if (fd < 0)
        ThrowLastError();
    m_handle = fd;
#endif
}

unsigned CFile::Read(void* buffer, unsigned count)
{
#ifdef _WIN32
    DWORD done = 0;
    if (!::ReadFile(AsHandle(m_handle), buffer, count, &done, nullptr)) {
        if (::GetLastError() == ERROR_BROKEN_PIPE)
            return 0;
        ThrowLastError();
    }
    return done;
#else
    unsigned total = 0;
    auto* bytes = static_cast<char*>(buffer);
    while (total < count) {
        const ssize_t got = ::read(static_cast<int>(m_handle), bytes + total, count - total);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            ThrowLastError();
        }
        if (got == 0)
            break;
        total += static_cast<unsigned>(got);
    }
    return total;
#endif
}

unsigned CFile::ReadAt(std::uint64_t offset, void* buffer, unsigned count)
{
    auto* bytes = static_cast<char*>(buffer);
    unsigned total = 0;
    while (total < count) {
        const std::uint64_t at = offset + total;
#ifdef _WIN32
        OVERLAPPED position {};
        position.Offset = static_cast<DWORD>(at);
        position.OffsetHigh = static_cast<DWORD>(at >> 32);
        DWORD got = 0;
        if (!::ReadFile(AsHandle(m_handle), bytes + total, count - total, &got, &position)) {
            if (::GetLastError() == ERROR_HANDLE_EOF)
                break;
            ThrowLastError();
        }
#else
        const ssize_t got = ::pread(static_cast<int>(m_handle), bytes + total, count - total,
                                    static_cast<off_t>(at));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            ThrowLastError();
        }
#endif
        if (got == 0)
            break;
        total += static_cast<unsigned>(got);
    }
    return total;
}

void CFile::Write(const void* buffer, unsigned count)
{
    if (count == 0)
        return;
#ifdef _WIN32
    DWORD done = 0;
    if (!::WriteFile(AsHandle(m_handle), buffer, count, &done, nullptr))
        ThrowLastError();
    if (done < count)
        Throw(ERROR_DISK_FULL, m_path);
#else
    unsigned total = 0;
    const auto* bytes = static_cast<const char*>(buffer);
    while (total < count) {
        const ssize_t put = ::write(static_cast<int>(m_handle), bytes + total, count - total);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            ThrowLastError();
        }
        if (put == 0)
            Throw(ENOSPC, m_path);
        total += static_cast<unsigned>(put);
    }
#endif
}

std::uint64_t CFile::Seek(std::int64_t offset, SeekPosition from)
{
#ifdef _WIN32
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    LARGE_INTEGER position;
    static_assert(FILE_BEGIN == begin && FILE_CURRENT == current && FILE_END == end);
    if (!::SetFilePointerEx(AsHandle(m_handle), distance, &position, static_cast<DWORD>(from)))
        ThrowLastError();
    return static_cast<std::uint64_t>(position.QuadPart);
#else
    static_assert(SEEK_SET == begin && SEEK_CUR == current && SEEK_END == end);
    const off_t position = ::lseek(static_cast<int>(m_handle), static_cast<off_t>(offset), from);
    if (position < 0)
        ThrowLastError();
    return static_cast<std::uint64_t>(position);
#endif
}

std::uint64_t CFile::GetLength() const
{
#ifdef _WIN32
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(AsHandle(m_handle), &size))
        ThrowLastError();
    return static_cast<std::uint64_t>(size.QuadPart);
#else
    struct stat info {};
    if (::fstat(static_cast<int>(m_handle), &info) != 0)
        ThrowLastError();
    return static_cast<std::uint64_t>(info.st_size);
#endif
}

void CFile::SetLength(std::uint64_t length)
{
    Seek(static_cast<std::int64_t>(length), begin);
#ifdef _WIN32
    if (!::SetEndOfFile(AsHandle(m_handle)))
        ThrowLastError();
#else
    if (::ftruncate(static_cast<int>(m_handle), static_cast<off_t>(length)) != 0)
        ThrowLastError();
#endif
}

void CFile::Close()
{
    if (!IsOpen())
        return;
    const std::intptr_t handle = m_handle;
    m_handle = kNoHandle;
#ifdef _WIN32
    if (!::CloseHandle(AsHandle(handle)))
        ThrowLastError();
#else
    if (::close(static_cast<int>(handle)) != 0 && errno != EINTR)
        ThrowLastError();
#endif
}

void CFile::CloseQuietly() noexcept
{
    if (!IsOpen())
        return;
#ifdef _WIN32
    ::CloseHandle(AsHandle(m_handle));
#else
    ::close(static_cast<int>(m_handle));
#endif
    m_handle = kNoHandle;
}

bool CFile::GetStatus(const CString& path, CFileStatus& status)
{
    if (path.IsEmpty())
        return false;
#ifdef _WIN32
    // Querying a named pipe by path connects to it, using up the server's
    // instance; the attributes of NUL or CON cannot be queried at all.
    if (IsDeviceOrPipe(path)) {
        status = CFileStatus();
        return true;
    }
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path, GetFileExInfoStandard, &data))
        return false;
    status.m_size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    status.m_isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    status.m_isRegular = (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
#else
    struct stat info {};
    if (::stat(path, &info) != 0)
        return false;
    status.m_size = static_cast<std::uint64_t>(info.st_size);
    status.m_isDirectory = S_ISDIR(info.st_mode);
    status.m_isRegular = S_ISREG(info.st_mode);
#endif
    return true;
}

#ifdef _WIN32
namespace {

// The volume and index that tell one file from every other.
bool FileIdentity(const CString& path, BY_HANDLE_FILE_INFORMATION& info)
{
    // No access asked: a query that works even on a file opened without sharing.
    HANDLE handle = ::CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    const bool known = ::GetFileInformationByHandle(handle, &info) != 0;
    ::CloseHandle(handle);
    return known;
}

} // namespace
#endif

bool CFile::IsSameFile(const CString& first, const CString& second)
{
#ifdef _WIN32
    if (IsDeviceOrPipe(first) || IsDeviceOrPipe(second))
        return false;
    BY_HANDLE_FILE_INFORMATION a, b;
    return FileIdentity(first, a) && FileIdentity(second, b)
        && a.dwVolumeSerialNumber == b.dwVolumeSerialNumber
        && a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
#else
    struct stat a {}, b {};
    return ::stat(first, &a) == 0 && ::stat(second, &b) == 0 && a.st_dev == b.st_dev
        && a.st_ino == b.st_ino;
#endif
}

CString CFile::FindIgnoringCase(const CString& path)
{
    CFileStatus status;
    if (GetStatus(path, status))
        return path; // Windows finds names in any letter case
#ifndef _WIN32
    const std::string_view spelled = path.View();
    const size_t nameStart = NameStart(spelled);
    const std::string_view name = spelled.substr(nameStart);
    const std::string folder(nameStart > 0 ? spelled.substr(0, nameStart) : std::string_view("./"));
    std::unique_ptr<DIR, int (*)(DIR*)> entries(::opendir(folder.c_str()), ::closedir);
    if (!entries)
        return CString();
    while (const dirent* entry = ::readdir(entries.get()))
        if (SameIgnoringCase(entry->d_name, name))
            return CString(spelled.substr(0, nameStart)) + entry->d_name;
#endif
    return CString();
}

void CFile::Rename(const CString& from, const CString& to)
{
#ifdef _WIN32
    if (!::MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING))
        Throw(LastOsError(), to);
#else
    if (::rename(from, to) != 0)
        Throw(LastOsError(), to);
#endif
}

void CFile::Remove(const CString& path)
{
#ifdef _WIN32
    if (!::DeleteFileA(path))
        Throw(LastOsError(), path);
#else
    if (::unlink(path) != 0)
        Throw(LastOsError(), path);
#endif
}
