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

// The path of a file beside path, of the same name with another extension
// (given in lower case), spelled in the letter case of path's own extension:
// TABLA.DBF goes with TABLA.FPT, tabla.dbf with tabla.fpt.
inline std::string CompanionPath(std::string_view path, std::string_view lowerExtension)
{
    const std::string_view name = path.substr(NameStart(path));
    const size_t dot = name.rfind('.');
    const std::string_view extension = dot == std::string_view::npos ? std::string_view() : name.substr(dot);
    bool upper = !extension.empty();
    for (const char c : extension)
        upper = upper && !(c >= 'a' && c <= 'z');
    std::string companion(lowerExtension);
    if (upper)
        for (char& c : companion)
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 'a' + 'A');
    return WithExtension(path, companion);
}

