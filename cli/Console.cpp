// Writing to the console (wide characters on a Windows console, the bytes
// themselves where Windows output is redirected, UTF-8 elsewhere), and the
// code page of the command line's own arguments.

#include "cli/Console.h"

#include "framework/CodePage.h"

#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <unistd.h>
#endif

namespace {

// The text's parts before, between and after each occurrence of the names,
// each handed to program(), and each occurrence to name(); where two names
// begin at one place, the longer is the one there.
template <class Program, class Name>
void Split(std::string_view text, std::initializer_list<std::string_view> fileNames, Program program, Name name)
{
    for (;;) {
        size_t first = std::string_view::npos;
        std::string_view found;
        for (const std::string_view fileName : fileNames) {
            const size_t at = fileName.empty() ? std::string_view::npos : text.find(fileName);
            if (at < first || (at == first && at != std::string_view::npos && fileName.size() > found.size())) {
                first = at;
                found = fileName;
            }
        }
        if (first == std::string_view::npos)
            break;
        program(text.substr(0, first));
        name(found);
        text.remove_prefix(first + found.size());
    }
    program(text);
}

#ifdef _WIN32
void AppendWide(unsigned codePage, std::string_view text, std::wstring& out)
{
    if (text.empty())
        return;
    const int length = static_cast<int>(text.size());
    const int wide = ::MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
    const size_t at = out.size();
    out.resize(at + static_cast<size_t>(wide));
    ::MultiByteToWideChar(codePage, 0, text.data(), length, out.data() + at, wide);
}
#endif

} // namespace

void WriteText(Stream stream, std::string_view text, std::initializer_list<std::string_view> fileNames)
{
#ifdef _WIN32
    HANDLE handle = ::GetStdHandle(stream == Stream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    DWORD mode = 0;
    DWORD done = 0;
    if (::GetConsoleMode(handle, &mode)) {
        std::wstring wide;
        Split(text, fileNames, [&](std::string_view part) { AppendWide(kCodePageWindows1252, part, wide); },
              [&](std::string_view name) { AppendWide(CP_ACP, name, wide); });
        ::WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &done, nullptr);
        return;
    }
    ::WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &done, nullptr);
#else
    const CodePageConverter converter(kCodePageWindows1252);
    std::string bytes;
    Split(text, fileNames, [&](std::string_view part) { converter.AppendUtf8(part, bytes); },
          [&](std::string_view name) { bytes += name; });
    const int fd = stream == Stream::Output ? STDOUT_FILENO : STDERR_FILENO;
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return; // nowhere left to say anything
        done += static_cast<size_t>(put);
    }
#endif
}

unsigned CommandLineCodePage()
{
#ifdef _WIN32
    return ::GetACP();
#else
    return kCodePageUtf8;
#endif
}

std::string CommandLineUtf8(std::string_view text)
{
    std::string utf8;
    CodePageConverter(CommandLineCodePage()).AppendUtf8(text, utf8);
    return utf8;
}

