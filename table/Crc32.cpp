#include "table/Crc32.h"

#include "table/ByteSearch.h"

#include <array>

namespace {

// Eight tables, so that eight bytes are folded in with eight look-ups and no
// dependency between them: a byte at a time costs several times more on a
// file of hundreds of megabytes.
using Tables = std::array<std::array<std::uint32_t, 256>, 8>;

constexpr Tables MakeTables()
{
    constexpr std::uint32_t kPolynomial = 0xEDB88320u; // reflected 0x04C11DB7
    Tables tables{};
    for (std::uint32_t byte = 0; byte < 256; ++byte) {
        std::uint32_t crc = byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (crc & 1u ? kPolynomial : 0u);
        tables[0][byte] = crc;
    }
    for (std::uint32_t byte = 0; byte < 256; ++byte)
        for (size_t k = 1; k < tables.size(); ++k)
            tables[k][byte] = (tables[k - 1][byte] >> 8) ^ tables[0][tables[k - 1][byte] & 0xFF];
    return tables;
}

constexpr Tables kTables = MakeTables();

} // namespace

std::uint32_t Crc32(std::string_view bytes, std::uint32_t crc)
{
    const auto& t = kTables;
    crc = ~crc;
    const char* at = bytes.data();
    const char* const end = at + bytes.size();
    for (; end - at >= 8; at += 8) {
        const std::uint64_t word = LoadWord(at) ^ crc;
        crc = t[7][word & 0xFF] ^ t[6][word >> 8 & 0xFF] ^ t[5][word >> 16 & 0xFF] ^ t[4][word >> 24 & 0xFF] ^
              t[3][word >> 32 & 0xFF] ^ t[2][word >> 40 & 0xFF] ^ t[1][word >> 48 & 0xFF] ^ t[0][word >> 56];
    }
    for (; at < end; ++at)
        crc = (crc >> 8) ^ t[0][(crc ^ static_cast<unsigned char>(*at)) & 0xFF];
    return ~crc;
}
