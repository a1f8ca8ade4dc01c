#pragma once

#include "framework/CFile.h"

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

} // namespace testing_support
