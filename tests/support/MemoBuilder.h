#pragma once

// Writes memo files byte by byte for tests and fuzz seeds: each memo at the
// next free block, as writers append them.

#include "tests/support/TableBuilder.h"

#include <cstdint>
#include <string>

namespace testing_support {

class MemoBuilder {
public:
    enum Format { DBaseIII, DBaseIV, FoxPro };

    // dBase III: 512-byte blocks, each text ended by 0x1A. dBase IV: the
    // block size at byte 20 and blocks that begin FF FF 08 00 and a length.
    // FoxPro: the block size big-endian at byte 6, blocks that begin with a
    // big-endian type and length.
    MemoBuilder(Format format, std::uint16_t blockSize = 512)
        : m_format(format), m_blockSize(format == DBaseIII ? 512 : blockSize), m_bytes(512, '\0')
    {
        if (format == DBaseIV)
            TableBuilder::Put16(m_bytes, 20, blockSize);
        if (format == FoxPro) {
            m_bytes[6] = static_cast<char>(blockSize >> 8);
            m_bytes[7] = static_cast<char>(blockSize & 0xFF);
        }
        Pad();
    }

    // Adds a memo (type: FoxPro's 1 text, 0 picture, 2 object) and returns
    // its block number.
    std::uint32_t Add(const std::string& data, std::uint32_t type = 1)
    {
        const auto block = static_cast<std::uint32_t>(m_bytes.size() / m_blockSize);
        switch (m_format) {
        case DBaseIII:
            m_bytes += data + "\x1A\x1A";
            break;
        case DBaseIV: {
            std::string header("\xFF\xFF\x08\x00", 4);
            header.resize(8);
            TableBuilder::Put32(header, 4, static_cast<std::uint32_t>(data.size() + 8));
            m_bytes += header + data;
            break;
        }
        case FoxPro:
            m_bytes += BigEndian32(type) + BigEndian32(static_cast<std::uint32_t>(data.size())) + data;
            break;
        }
        Pad();
        return block;
    }

    std::string Bytes() const { return m_bytes; }
    void WriteTo(const std::string& path) const { TableBuilder::WriteFile(path, m_bytes); }

    // A block number as a 10-byte "M" field holds it.
    static std::string Pointer(std::uint32_t block)
    {
        std::string digits = std::to_string(block);
        return std::string(10 - digits.size(), ' ') + digits;
    }
    // A block number as a Visual FoxPro 4-byte "M" field holds it.
    static std::string BinaryPointer(std::uint32_t block)
    {
        std::string bytes(4, '\0');
        TableBuilder::Put32(bytes, 0, block);
        return bytes;
    }

private:
    static std::string BigEndian32(std::uint32_t v)
    {
        return { static_cast<char>(v >> 24), static_cast<char>(v >> 16 & 0xFF), static_cast<char>(v >> 8 & 0xFF),
                 static_cast<char>(v & 0xFF) };
    }
    void Pad() { m_bytes.resize((m_bytes.size() + m_blockSize - 1) / m_blockSize * m_blockSize, '\0'); }

    Format m_format;
    std::uint16_t m_blockSize;
    std::string m_bytes;
};

} // namespace testing_support
