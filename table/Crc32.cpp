#include "table/Crc32.h"

#include "table/ByteSearch.h"

#include <array>

namespace {

// Sixteen tables, so that sixteen bytes are folded in with sixteen look-ups
// and no dependency between them: a byte at a time costs several times more
// on a file of hundreds of megabytes.
using Tables = std::array<std::array<std::uint32_t, 256>, 16>;

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
    for (; end - at >= 16; at += 16) {
        const std::uint64_t low = LoadWord(at) ^ crc, high = LoadWord(at + 8);
        crc = t[15][low & 0xFF] ^ t[14][low >> 8 & 0xFF] ^ t[13][low >> 16 & 0xFF] ^ t[12][low >> 24 & 0xFF] ^
              t[11][low >> 32 & 0xFF] ^ t[10][low >> 40 & 0xFF] ^ t[9][low >> 48 & 0xFF] ^ t[8][low >> 56] ^
              t[7][high & 0xFF] ^ t[6][high >> 8 & 0xFF] ^ t[5][high >> 16 & 0xFF] ^ t[4][high >> 24 & 0xFF] ^
              t[3][high >> 32 & 0xFF] ^ t[2][high >> 40 & 0xFF] ^ t[1][high >> 48 & 0xFF] ^ t[0][high >> 56];
    }
    for (; at < end; ++at)
        crc = (crc >> 8) ^ t[0][(crc ^ static_cast<unsigned char>(*at)) & 0xFF];
    return ~crc;
}
