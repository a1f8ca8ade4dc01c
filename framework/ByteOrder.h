#pragma once

// Numbers of N bytes read from a file's bytes, in either byte order.

#include <cstddef>
#include <cstdint>

// Reads an unsigned number of N bytes, least significant byte first, as
// every number in a table header is stored.
template <size_t N>
std::uint64_t LittleEndian(const void* stored)
{
    const auto* p = static_cast<const unsigned char*>(stored);
    std::uint64_t value = 0;
    for (size_t i = N; i-- > 0;)
        value = (value << 8u) | p[i];
    return value;
}

// The same, most significant byte first, as FoxPro's memo and index files
// store their numbers.
template <size_t N>
std::uint64_t BigEndian(const void* stored)
{
    const auto* p = static_cast<const unsigned char*>(stored);
    std::uint64_t value = 0;
    for (size_t i = 0; i < N; ++i)
        value = (value << 8u) | p[i];
    return value;
}
