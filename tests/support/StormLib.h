#pragma once

// StormLib's implode and explode (the PKWARE Data Compression Library's, in
// Debian's libstorm-dev), an encoder and a decoder independent of the
// program's, and zlib's CRC-32: for the tests, the fuzz seeds and the
// benchmark only. Natively, where ORVALIS_STORMLIB is defined.

#include "tests/support/ImplodeBuilder.h"

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

// Exported by libstorm but not declared in its header.
extern "C" {
unsigned int implode(unsigned int (*read)(char* buffer, unsigned int* size, void* param),
                     void (*write)(char* buffer, unsigned int* size, void* param), char* work, void* param,
                     unsigned int* type, unsigned int* dictionarySize);
unsigned int explode(unsigned int (*read)(char* buffer, unsigned int* size, void* param),
                     void (*write)(char* buffer, unsigned int* size, void* param), char* work, void* param);
}

namespace testing_support {

// Where StormLib reads its input and writes its output.
struct StormStreams {
    std::function<unsigned(char* buffer, unsigned size)> Read;
    std::function<void(const char* bytes, unsigned size)> Write;
};

namespace storm_detail {
inline unsigned int Read(char* buffer, unsigned int* size, void* param)
{
    return static_cast<StormStreams*>(param)->Read(buffer, *size);
}
inline void Write(char* buffer, unsigned int* size, void* param)
{
    static_cast<StormStreams*>(param)->Write(buffer, *size);
}
// Their work areas are a structure of about 36 KB and one of about 13 KB.
constexpr size_t kWorkBytes = 64 * 1024;
} // namespace storm_detail

// codedLiterals: StormLib's "ASCII" mode; dictionary: 1024, 2048 or 4096.
inline void StormImplode(StormStreams& streams, bool codedLiterals, unsigned dictionary)
{
    std::vector<char> work(storm_detail::kWorkBytes);
    unsigned type = codedLiterals ? 1 : 0, size = dictionary;
    if (implode(storm_detail::Read, storm_detail::Write, work.data(), &streams, &type, &size) != 0)
        throw std::runtime_error("StormLib's implode failed");
}

// False when StormLib's explode finds the stream damaged.
inline bool StormExplode(StormStreams& streams)
{
    std::vector<char> work(storm_detail::kWorkBytes);
    return explode(storm_detail::Read, storm_detail::Write, work.data(), &streams) == 0;
}

// The same, of bytes in memory.
inline StormStreams StringStreams(const std::string& in, std::string& out)
{
    auto at = std::make_shared<size_t>(0);
    return { [&in, at](char* buffer, unsigned size) {
                const size_t n = std::min<size_t>(size, in.size() - *at);
                in.copy(buffer, n, *at);
                *at += n;
                return static_cast<unsigned>(n);
            },
             [&out](const char* bytes, unsigned size) { out.append(bytes, size); } };
}
inline std::string StormImplode(const std::string& bytes, bool codedLiterals, unsigned dictionary)
{
    std::string out;
    StormStreams streams = StringStreams(bytes, out);
    StormImplode(streams, codedLiterals, dictionary);
    return out;
}

inline std::uint32_t ZlibCrc32(const std::string& bytes)
{
    return static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

// The .dbf as a compressed table, the stream from StormLib, the CRC from zlib.
inline std::string StormCompressedTable(const std::string& dbf, bool codedLiterals, unsigned dictionary)
{
    const std::string records = dbf.substr(TableBuilder::HeaderLengthOf(dbf));
    return CompressedBytes(dbf, StormImplode(records, codedLiterals, dictionary), ZlibCrc32(dbf));
}

} // namespace testing_support
