#pragma once

#include "framework/CFile.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace testing_support {

// The whole file's bytes; empty when it cannot be read.
inline std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}

// A path of the machine the tests run on, as a Windows program sees it:
// under Wine the Unix root is drive Z:.
inline std::string HostPath(std::string path)
{
#ifdef _WIN32
    if (!path.empty() && path[0] == '/') {
        for (char& c : path)
            if (c == '/')
                c = '\\';
        path = "Z:" + path;
    }
#endif
    return path;
}

inline bool Exists(const std::string& path)
{
    CFileStatus status;
    return CFile::GetStatus(path.c_str(), status);
}

// Whether a temporary file of an export to path is still in its folder
// (named .NAME. and more).
inline bool TemporaryLeft(const std::string& path)
{
    const std::filesystem::path output(path);
    const std::string prefix = "." + output.filename().string() + ".";
    for (const auto& entry : std::filesystem::directory_iterator(output.parent_path()))
        if (entry.path().filename().string().rfind(prefix, 0) == 0)
            return true;
    return false;
}

} // namespace testing_support
