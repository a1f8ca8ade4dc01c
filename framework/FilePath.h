#pragma once

// Paths as the system spells them: the command's output names and the memo
// file beside a table are made from the table's path.

#include <string>
#include <string_view>

inline bool IsPathSeparator(char c)
{
#ifdef _WIN32
    return c == '\\' || c == '/' || c == ':';
#else
    return c == '/';
#endif
}

// Where the name of the file begins, after its folder.
inline size_t NameStart(std::string_view path)
{
    size_t at = path.size();
    while (at > 0 && !IsPathSeparator(path[at - 1]))
        --at;
    return at;
}

// The path with its extension, if its name has one, replaced.
inline std::string WithExtension(std::string_view path, std::string_view extension)
{
    const size_t name = NameStart(path);
    const size_t dot = path.rfind('.');
    const size_t end = dot != std::string_view::npos && dot > name ? dot : path.size();
    return std::string(path.substr(0, end)) + std::string(extension);
}
