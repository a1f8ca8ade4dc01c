#pragma once

// Writes implode streams bit by bit, with plain literals and a 4 KiB
// dictionary, and compressed tables (.dbc) around them: streams of exactly
// the codes a test needs, damaged ones included, on every platform.

#include "table/Crc32.h"
#include "tests/support/TableBuilder.h"

#include <cstdint>
#include <string>

namespace testing_support {

class ImplodeBuilder {
public:
    ImplodeBuilder() : m_bytes{ '\0', '\x06' } {}

    ImplodeBuilder& Literals(const std::string& bytes)
    {
        for (const char byte : bytes) {
            Bits(0, 1);
            Bits(static_cast<unsigned char>(byte), 8);
        }
        return *this;
    }
    // A copy of 264 bytes from distance (1 to 64) back: the length code of
    // 264 is the last of the 7-bit codes (stored as zeros), with 8 extra
    // bits; the distance code of 0 is the first 2-bit code (stored as ones),
    // with the distance's 6 low bits.
    ImplodeBuilder& Copy264(unsigned distance)
    {
        Bits(1, 1);
        Bits(0, 7);
        Bits(0, 8);
        Bits(3, 2);
        Bits(distance - 1, 6);
        return *this;
    }
    // The length code of 264 with all 8 extra bits set: 519, the end.
    ImplodeBuilder& End()
    {
        Bits(1, 1);
        Bits(0, 7);
        Bits(0xFF, 8);
        return *this;
    }
    // The stream, its last bits padded with zeros.
    std::string Bytes() const { return m_bytes; }

private:
    void Bits(unsigned value, unsigned count)
    {
        for (unsigned i = 0; i < count; ++i, ++m_bit) {
            if (m_bit % 8 == 0)
                m_bytes += '\0';
            m_bytes.back() = static_cast<char>(m_bytes.back() | ((value >> i & 1u) << (m_bit % 8)));
        }
    }

    std::string m_bytes;
    size_t m_bit = 0;
};

// A compressed table: the .dbf's header, the CRC-32 of the whole .dbf, the
// stream that expands to the rest.
inline std::string CompressedBytes(const std::string& dbf, const std::string& stream, std::uint32_t crc)
{
    std::string stored(4, '\0');
    TableBuilder::Put32(stored, 0, crc);
    return dbf.substr(0, TableBuilder::HeaderLengthOf(dbf)) + stored + stream;
}
inline std::string CompressedBytes(const std::string& dbf, const std::string& stream)
{
    return CompressedBytes(dbf, stream, Crc32(dbf));
}

// The .dbf's records as a stream of literals only.
inline std::string LiteralTable(const std::string& dbf)
{
    return CompressedBytes(dbf, ImplodeBuilder().Literals(dbf.substr(TableBuilder::HeaderLengthOf(dbf))).End().Bytes());
}

} // namespace testing_support
