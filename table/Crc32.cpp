#include "table/Crc32.h"

#include "framework/ByteSearch.h"

#include <array>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#endif

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

// The register after the bytes, from the given one, sixteen bytes at a time.
std::uint32_t TableRegister(std::uint32_t crc, const char* at, const char* end)
{
    const auto& t = kTables;
    for (; end - at >= 16; at += 16) {
        const std::uint64_t low = LoadWord(at) ^ crc, high = LoadWord(at + 8);
        crc = t[15][low & 0xFF] ^ t[14][low >> 8 & 0xFF] ^ t[13][low >> 16 & 0xFF] ^ t[12][low >> 24 & 0xFF] ^
              t[11][low >> 32 & 0xFF] ^ t[10][low >> 40 & 0xFF] ^ t[9][low >> 48 & 0xFF] ^ t[8][low >> 56] ^
              t[7][high & 0xFF] ^ t[6][high >> 8 & 0xFF] ^ t[5][high >> 16 & 0xFF] ^ t[4][high >> 24 & 0xFF] ^
              t[3][high >> 32 & 0xFF] ^ t[2][high >> 40 & 0xFF] ^ t[1][high >> 48 & 0xFF] ^ t[0][high >> 56];
    }
    for (; at < end; ++at)
        crc = (crc >> 8) ^ t[0][(crc ^ static_cast<unsigned char>(*at)) & 0xFF];
    return crc;
}

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define ORVALIS_CARRYLESS_CRC 1

// Where the processor multiplies without carries (every x86 since 2010),
// blocks of 64 bytes are folded into the next ones by multiplying by powers
// of x modulo the polynomial, several times faster than the tables: the CRC
// of a large table is then a few milliseconds. What remains, 16 bytes and
// the tail, goes through the tables.
bool CanMultiplyWithoutCarries()
{
    static const bool can = (__builtin_cpu_init(), __builtin_cpu_supports("pclmul") != 0);
    return can;
}

#define ORVALIS_CARRYLESS __attribute__((target("pclmul,sse2")))

// x times k's low half and k's high half, one half each, added.
ORVALIS_CARRYLESS inline __m128i Fold(__m128i x, __m128i k)
{
    return _mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11));
}

ORVALIS_CARRYLESS inline __m128i Load(const char* at)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

ORVALIS_CARRYLESS std::uint32_t FoldedRegister(std::uint32_t crc, const char*& at,
                                                                    const char* end)
{
    // x^(4*128+32) and x^(4*128-32), and x^(128+32) and x^(128-32), modulo
    // the polynomial, bit-reflected.
    const __m128i byFour = _mm_set_epi64x(0x1C6E41596, 0x154442BD4);
    const __m128i byOne = _mm_set_epi64x(0x0CCAA009E, 0x1751997D0);
    __m128i x0 = _mm_xor_si128(Load(at), _mm_cvtsi32_si128(static_cast<int>(crc)));
    __m128i x1 = Load(at + 16), x2 = Load(at + 32), x3 = Load(at + 48);
    for (at += 64; end - at >= 64; at += 64) {
        x0 = _mm_xor_si128(Fold(x0, byFour), Load(at));
        x1 = _mm_xor_si128(Fold(x1, byFour), Load(at + 16));
        x2 = _mm_xor_si128(Fold(x2, byFour), Load(at + 32));
        x3 = _mm_xor_si128(Fold(x3, byFour), Load(at + 48));
    }
    __m128i x = _mm_xor_si128(Fold(x0, byOne), x1);
    x = _mm_xor_si128(Fold(x, byOne), x2);
    x = _mm_xor_si128(Fold(x, byOne), x3);
    for (; end - at >= 16; at += 16)
        x = _mm_xor_si128(Fold(x, byOne), Load(at));
    char folded[16];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(folded), x);
    return TableRegister(0, folded, folded + sizeof folded);
}
#endif

} // namespace

std::uint32_t Crc32(std::string_view bytes, std::uint32_t crc)
{
    const char* at = bytes.data();
    const char* const end = at + bytes.size();
    crc = ~crc;
#ifdef ORVALIS_CARRYLESS_CRC
    if (end - at >= 64 && CanMultiplyWithoutCarries())
        crc = FoldedRegister(crc, at, end);
#endif
    return ~TableRegister(crc, at, end);
}
