#pragma once

// A folder on a very small file system that tools/test mounts for the
// disk-full tests (ORVALIS_FULL_DISK); empty when there is none.

#include "tests/support/Files.h"

#include <cstdlib>
#include <string>

namespace testing_support {

inline std::string FullDiskFolder()
{
    const char* folder = std::getenv("ORVALIS_FULL_DISK");
    if (!folder || !*folder)
        return std::string();
    return HostPath(folder);
}

} // namespace testing_support
