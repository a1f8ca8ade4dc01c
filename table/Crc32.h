#pragma once

#include <cstdint>
#include <string_view>

// The CRC-32 that zlib's crc32 computes (the IEEE polynomial, reflected),
// which a compressed table keeps of its original file. Continued over the
// pieces of a file as they come: Crc32(b, Crc32(a)) is the CRC of a then b.
std::uint32_t Crc32(std::string_view bytes, std::uint32_t crc = 0);
