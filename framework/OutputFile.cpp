// OutputFile: an export's output, written under a temporary name and renamed
// over its path once complete.
#include "framework/OutputFile.h"

#include "framework/FilePath.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

bool AlreadyExists(long osError)
{
#ifdef _WIN32
    return osError == ERROR_FILE_EXISTS || osError == ERROR_ALREADY_EXISTS;
#else
    return osError == EEXIST;
#endif
}

unsigned long ProcessId()
{
#ifdef _WIN32
    return ::GetCurrentProcessId();
#else
    return static_cast<unsigned long>(::getpid());
#endif
}

// The file a path leads to: a symbolic link's target is replaced, not the
// link.
CString Resolved(const CString& path)
{
#ifndef _WIN32
    struct stat link {};
    if (::lstat(path, &link) == 0 && S_ISLNK(link.st_mode)) {
        const std::unique_ptr<char, void (*)(void*)> real(::realpath(path, nullptr), std::free);
        if (real)
            return CString(real.get());
    }
#endif
    return path;
}

void RemoveQuietly(const CString& path) noexcept
{
    try {
        CFile::Remove(path);
    } catch (const CFileException&) {
        // The failure that ended the export is the one to report.
    }
}

// Each temporary name of this process is new; another process has its own id.
std::atomic<unsigned> g_temporaries{ 0 };
// Room left in a file name for what the temporary name adds to it.
constexpr size_t kLongestStem = 200;

} // namespace

OutputFile::~OutputFile()
{
    Abandon();
}

void OutputFile::Open(const CString& path)
{
    Abandon();
    m_path = path;
    m_target = Resolved(path);
    CFileStatus status;
    const bool exists = CFile::GetStatus(m_target, status);
    m_direct = exists && !status.m_isRegular;
    if (m_direct) {
        // A device or a FIFO is opened as it is, never emptied or removed.
        m_file.Open(path, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive);
        return;
    }
    if (exists)
        m_held.Open(path, CFile::modeWrite | CFile::shareExclusive);
    const std::string_view target = m_target.View();
    const std::string folder(target.substr(0, NameStart(target)));
    const std::string stem(target.substr(NameStart(target), kLongestStem));
    for (int attempt = 0;; ++attempt) {
        const CString temporary(std::string_view(folder + "." + stem + "." + std::to_string(ProcessId()) + "-" +
                                                 std::to_string(g_temporaries++) + ".tmp"));
        try {
            m_file.Open(temporary, CFile::modeCreate | CFile::modeCreateNew | CFile::modeWrite |
                                       CFile::shareExclusive);
            m_temporary = temporary;
            break;
        } catch (const CFileException& e) {
            // A name left by another program is passed over; any other
            // failure is the output's.
            if (!AlreadyExists(e.m_lOsError) || attempt == 100) {
                m_held.Abort();
                throw CFileException(e.m_cause, path, e.m_lOsError);
            }
        }
    }
    m_file.SetFilePath(path); // a failure names the output, not its temporary name
#ifndef _WIN32
    // The replaced file's permissions go to the file that replaces it.
    if (exists) {
        struct stat info {};
        if (::stat(m_target, &info) == 0)
            ::chmod(m_temporary, info.st_mode & 07777);
    }
#endif
}

void OutputFile::OpenStandardOutput(const CString& name)
{
    Abandon();
    m_path = name;
    m_direct = true;
    m_file.OpenStandardOutput(name);
}

void OutputFile::Commit()
{
    if (m_direct) {
        m_file.Close();
        return;
    }
    try {
        m_file.Close();
        m_held.Abort(); // Windows replaces no file that is open
        CFile::Rename(m_temporary, m_target);
    } catch (...) {
        Abandon();
        throw;
    }
    m_temporary.Empty();
}

void OutputFile::Abandon() noexcept
{
    m_file.Abort();
    m_held.Abort();
    if (!m_temporary.IsEmpty()) {
        RemoveQuietly(m_temporary);
        m_temporary.Empty();
    }
}

CString OutputFile::IncompleteNote() const
{
    CString note;
    if (m_direct && !m_path.IsEmpty())
        note.Format("La salida %s ha quedado incompleta.", m_path.GetString());
    return note;
}
