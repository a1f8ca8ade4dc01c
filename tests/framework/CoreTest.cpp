#include "export/TextExportWriter.h"
#include "framework/BackgroundTask.h"
#include "framework/CFile.h"
#include "framework/CString.h"
#include "table/mDBase.h"
#include "tests/support/Files.h"
#include "tests/support/TableBuilder.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using testing_support::ReadAll;
using testing_support::TempDir;

namespace {

std::string Str(const CString& s) { return std::string(s.View()); }

// --- CString -------------------------------------------------------------------

TEST(CStringTest, HoldsNulBytesAnywhere)
{
    const char bytes[] = { 'a', '\0', 'b', '\0' };
    CString s(bytes, 4);
    EXPECT_EQ(s.GetLength(), 4);
    s += CString("\0c", 2);
    EXPECT_EQ(s.GetLength(), 6);
    EXPECT_EQ(s.View(), std::string_view("a\0b\0\0c", 6));
    EXPECT_NE(s, CString("a"));           // the whole counted length compares
    EXPECT_STREQ(s.GetString(), "a");     // C callers see up to the first NUL
    EXPECT_EQ(s.GetString()[6], '\0');    // and a NUL always follows the bytes
}

TEST(CStringTest, ConstructionEdgeCases)
{
    EXPECT_TRUE(CString(static_cast<const char*>(nullptr)).IsEmpty());
    EXPECT_TRUE(CString("abc", 0).IsEmpty());
    EXPECT_TRUE(CString("abc", -1).IsEmpty());
    EXPECT_EQ(Str(CString('-', 3)), "---");
    CString s("x");
    s.Empty();
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_EQ(s, "");
}

TEST(CStringTest, ConcatenationAndComparison)
{
    const CString a("abc");
    EXPECT_EQ(Str(a + "def"), "abcdef");
    EXPECT_EQ(Str("<" + a + '>'), "<abc>");
    EXPECT_TRUE(a == "abc");
    EXPECT_TRUE("abc" == a);
    EXPECT_TRUE(a != "abd");
    EXPECT_TRUE(CString("abc") < CString("abd"));
    EXPECT_TRUE(CString("ab") < CString("ab\0", 3));
    EXPECT_LT(CString("\x7F").Compare(CString("\x80")), 0); // bytes compare unsigned
}

TEST(CStringTest, FormatProducesTextOfAnyLength)
{
    CString s;
    s.Format("%s - %u registros", "tabla.dbf", 4000000000u);
    EXPECT_EQ(Str(s), "tabla.dbf - 4000000000 registros");
    s.Format("%.2f", 1e300);
    EXPECT_EQ(s.GetLength(), 301 + 3);
    s.Format("%s", "");
    EXPECT_TRUE(s.IsEmpty());
}

TEST(CStringTest, ReplaceEveryOccurrence)
{
    CString s("No introduzca m\xE1s de %1 caracteres.");
    EXPECT_EQ(s.Replace("%1", "1"), 1);
    EXPECT_EQ(Str(s), "No introduzca m\xE1s de 1 caracteres.");
    CString t("aaa");
    EXPECT_EQ(t.Replace("a", "aa"), 3); // replacements are not searched again
    EXPECT_EQ(Str(t), "aaaaaa");
}

// --- CFile -----------------------------------------------------------------------

TEST(CFileTest, WriteSeekAndReadBack)
{
    TempDir dir;
    const std::string path = dir.File("data.bin");
    {
        CFile file;
        file.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive);
        file.Write("hello, world", 12);
        file.Write("", 0);
        EXPECT_EQ(file.GetLength(), 12u);
        file.Close();
        EXPECT_FALSE(file.IsOpen());
    }
    CFile file;
    file.Open(path.c_str(), CFile::modeRead | CFile::shareExclusive);
    char buffer[16] = {};
    EXPECT_EQ(file.Seek(7, CFile::begin), 7u);
    EXPECT_EQ(file.Read(buffer, 5), 5u);
    EXPECT_EQ(std::string(buffer, 5), "world");
    EXPECT_EQ(file.Read(buffer, 5), 0u); // at the end: nothing, no exception
    EXPECT_EQ(file.Seek(-5, CFile::end), 7u);
    EXPECT_EQ(file.Seek(0, CFile::begin), 0u);
    EXPECT_EQ(file.Read(buffer, 16), 12u);
}

TEST(CFileTest, CreateEmptiesAnExistingFile)
{
    TempDir dir;
    const std::string path = dir.File("old.txt");
    testing_support::TableBuilder::WriteFile(path, "old contents");
    CFile file;
    file.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive);
    file.Write("new", 3);
    file.Close();
    EXPECT_EQ(ReadAll(path), "new");
}

TEST(CFileTest, SeeksBeyondFourGibibytes)
{
    TempDir dir;
    const std::string path = dir.File("sparse.bin");
    const std::int64_t beyond = (std::int64_t{ 1 } << 32) + 10;
    {
        CFile file;
        file.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive);
        EXPECT_EQ(file.Seek(beyond, CFile::begin), static_cast<std::uint64_t>(beyond));
        file.Write("end", 3);
    }
    CFileStatus status;
    ASSERT_TRUE(CFile::GetStatus(path.c_str(), status));
    EXPECT_EQ(status.m_size, static_cast<std::uint64_t>(beyond) + 3);
    CFile file;
    file.Open(path.c_str(), CFile::modeRead | CFile::shareExclusive);
    file.Seek(beyond, CFile::begin);
    char buffer[3];
    ASSERT_EQ(file.Read(buffer, 3), 3u);
    EXPECT_EQ(std::string(buffer, 3), "end");
}

TEST(CFileTest, FailuresRaiseTheCauseAndNameTheFile)
{
    TempDir dir;
    const std::string missing = dir.File("missing.dbf");
    try {
        CFile file;
        file.Open(missing.c_str(), CFile::modeRead | CFile::shareExclusive);
        ADD_FAILURE() << "no exception";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::fileNotFound);
        EXPECT_EQ(Str(e.m_strFileName), missing);
        EXPECT_EQ(Str(e.GetErrorMessage()), "No se encuentra el archivo " + missing + ".");
        EXPECT_NE(e.m_lOsError, 0);
    }
    const std::string badPath = dir.File("no-such-folder") + "/x.txt";
    try {
        CFile file;
        file.Open(badPath.c_str(), CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive);
        ADD_FAILURE() << "no exception";
    } catch (const CFileException& e) {
        // Windows says the path is not found, POSIX that the entry is missing.
        EXPECT_TRUE(e.m_cause == CFileException::badPath || e.m_cause == CFileException::fileNotFound);
        EXPECT_EQ(Str(e.m_strFileName), badPath);
    }
}

TEST(CFileTest, ExclusiveOpenKeepsOthersOutBothWays)
{
    TempDir dir;
    const std::string path = dir.File("held.txt");
    testing_support::TableBuilder::WriteFile(path, "keep me");
    CFile reader;
    reader.Open(path.c_str(), CFile::modeRead | CFile::shareExclusive);
    CFile writer;
    try {
        writer.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive);
        ADD_FAILURE() << "the held file was opened for writing";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::sharingViolation);
        EXPECT_EQ(Str(e.GetErrorMessage()), "El archivo " + path + " est\xE1 en uso por otro programa.");
    }
    reader.Close();
    EXPECT_EQ(ReadAll(path), "keep me"); // the refused create did not empty it
}

TEST(CFileTest, StatusAndRemove)
{
    TempDir dir;
    const std::string path = dir.File("five.txt");
    testing_support::TableBuilder::WriteFile(path, "12345");
    CFileStatus status;
    ASSERT_TRUE(CFile::GetStatus(path.c_str(), status));
    EXPECT_EQ(status.m_size, 5u);
    EXPECT_FALSE(status.m_isDirectory);
    EXPECT_TRUE(status.m_isRegular);
    ASSERT_TRUE(CFile::GetStatus(dir.Path().string().c_str(), status));
    EXPECT_TRUE(status.m_isDirectory);
    EXPECT_FALSE(status.m_isRegular);
    EXPECT_FALSE(CFile::GetStatus("", status));
    EXPECT_FALSE(CFile::GetStatus(dir.File("*.txt").c_str(), status)); // no wildcard matching
    CFile::Remove(path.c_str());
    EXPECT_FALSE(CFile::GetStatus(path.c_str(), status));
    EXPECT_THROW(CFile::Remove(path.c_str()), CFileException);
}

void ExpectReadOpenRefused(const std::string& path, CFileException::Cause cause)
{
    try {
        CFile file;
        file.Open(path.c_str(), CFile::modeRead | CFile::shareExclusive);
        ADD_FAILURE() << path << " was opened";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, cause) << path;
        EXPECT_EQ(Str(e.m_strFileName), path);
    }
}

void ExpectNotRegular(const std::string& path)
{
    CFileStatus status;
    status.m_isRegular = true;
    ASSERT_TRUE(CFile::GetStatus(path.c_str(), status)) << path;
    EXPECT_FALSE(status.m_isRegular) << path;
}

TEST(CFileTest, PathsThatAreNoRegularFile)
{
    TempDir dir;
    const std::string folder = dir.Path().string();
#ifdef _WIN32
    ExpectReadOpenRefused(folder, CFileException::accessDenied); // CreateFile refuses folders
    ExpectNotRegular("NUL");
    ExpectNotRegular(dir.File("nul"));
    ExpectReadOpenRefused("NUL", CFileException::invalidFile);
    // The status of a pipe is told from its name: a query would connect to it.
    const char* const pipeName = "\\\\.\\pipe\\orvalis-status-test";
    HANDLE server = ::CreateNamedPipeA(pipeName, PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_NOWAIT,
                                       1, 512, 512, 0, nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    ExpectNotRegular(pipeName);
    EXPECT_FALSE(::ConnectNamedPipe(server, nullptr));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_PIPE_LISTENING));
    ::CloseHandle(server);
#else
    ExpectReadOpenRefused(folder, CFileException::invalidFile);
    const std::string fifo = dir.File("fifo.dbf");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0) << std::strerror(errno);
    ExpectNotRegular(fifo);
    ExpectNotRegular("/dev/null");
    // Opening a FIFO that has no writer must not wait for one: a hang ends
    // the test program here instead.
    ::alarm(10);
    ExpectReadOpenRefused(fifo, CFileException::invalidFile);
    ExpectReadOpenRefused("/dev/null", CFileException::invalidFile);
    ::alarm(0);
#endif
}

#ifndef _WIN32
// CTest runs this under strace, which makes every flock fail with the error
// named in ORVALIS_INJECTED_FLOCK_ERROR.
TEST(CFileTest, LockFailureInjectedByStrace)
{
    const char* const injected = std::getenv("ORVALIS_INJECTED_FLOCK_ERROR");
    if (injected == nullptr)
        GTEST_SKIP() << "only under strace, as CTest runs it";
    const std::string name = injected;
    const int error = name == "ENOLCK" ? ENOLCK
        : name == "EOPNOTSUPP"         ? EOPNOTSUPP
        : name == "EBADF"              ? EBADF
        : name == "EAGAIN"             ? EAGAIN
                                       : 0;
    ASSERT_NE(error, 0) << name;
    TempDir dir;
    const std::string path = dir.File("table.dbf");
    testing_support::TableBuilder::WriteFile(path, "abc");

    // The injection is in force, or the rest proves nothing.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    EXPECT_NE(::flock(fd, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(errno, error);
    ::close(fd);

    if (error == EAGAIN) { // a lock held by another opener
        ExpectReadOpenRefused(path, CFileException::sharingViolation);
        return;
    }
    // A file system that cannot lock: the files are used unlocked.
    CFile file;
    file.Open(path.c_str(), CFile::modeRead | CFile::shareExclusive);
    char buffer[3];
    ASSERT_EQ(file.Read(buffer, 3), 3u);
    EXPECT_EQ(std::string(buffer, 3), "abc");
    CFile out;
    out.Open(dir.File("out.txt").c_str(), CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive);
    out.Write("x", 1);

    // Unlocked, nothing but the export's own refusal keeps a table from
    // being emptied by its export.
    const std::string table = dir.File("real.dbf");
    const testing_support::TableBuilder builder =
        testing_support::TableBuilder().Field("A", 'C', 3).Record({ "abc" });
    builder.WriteTo(table);
    mDBase opened;
    ASSERT_EQ(opened.Open(table.c_str()), 1);
    EXPECT_THROW(TextExportWriter(ExportFormat::FixedLength, "").Export(opened, table.c_str()), CFileException);
    opened.Close();
    EXPECT_EQ(testing_support::ReadAll(table), builder.Bytes());
}

TEST(CFileTest, FullDeviceRaisesDiskFull)
{
    CFile file;
    file.Open("/dev/full", CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive);
    try {
        file.Write("x", 1);
        ADD_FAILURE() << "no exception";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::diskFull);
        EXPECT_EQ(Str(e.m_strFileName), "/dev/full");
    }
}
#endif

// --- BackgroundTask ----------------------------------------------------------

TEST(BackgroundTaskTest, TasksRunInTurnAndGiveBackWhatTheyRaise)
{
    BackgroundTask task;
    std::vector<int> done; // touched by one task at a time, then read after Finish
    for (int i = 0; i < 200; ++i)
        task.Start([&done, i] { done.push_back(i); });
    EXPECT_EQ(task.Finish(), nullptr);
    ASSERT_EQ(done.size(), 200u);
    for (int i = 0; i < 200; ++i)
        EXPECT_EQ(done[static_cast<size_t>(i)], i);

    // A failure comes back from Finish once, as the exception it was.
    task.Start([] { throw CFileException(CFileException::diskFull, "salida.txt", 0, "Disco lleno: %s."); });
    const std::exception_ptr failure = task.Finish();
    ASSERT_NE(failure, nullptr);
    try {
        std::rethrow_exception(failure);
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::diskFull);
        EXPECT_EQ(Str(e.m_strFileName), "salida.txt");
    }
    EXPECT_EQ(task.Finish(), nullptr);

    // Ending waits for the task under way.
    bool ended = false;
    {
        BackgroundTask last;
        last.Start([&ended] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            ended = true;
        });
    }
    EXPECT_TRUE(ended);
}

} // namespace
