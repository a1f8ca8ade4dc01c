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

inline bool Exists(const std::string& path)
{
    CFileStatus status;
    return CFile::GetStatus(path.c_str(), status);
}

} // namespace testing_support
