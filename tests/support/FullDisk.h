#pragma once

// A folder on a very small file system that tools/test mounts for the
// disk-full tests (ORVALIS_FULL_DISK); empty when there is none.

#include <cstdlib>
#include <string>

namespace testing_support {

inline std::string FullDiskFolder()
{
    const char* folder = std::getenv("ORVALIS_FULL_DISK");
    if (!folder || !*folder)
        return std::string();
    std::string path = folder;
#ifdef _WIN32
    // Under Wine the Unix root is drive Z:.
    if (path[0] == '/') {
        for (char& c : path)
            if (c == '/')
                c = '\\';
        path = "Z:" + path;
    }
#endif
    return path;
}

} // namespace testing_support
