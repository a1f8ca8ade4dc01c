#include "table/CompressedTable.h"

#include "table/Crc32.h"
#include "table/TableFormat.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

constexpr unsigned kCrcBytes = 4;
// The byte that ends a .dbf after its last record.
constexpr char kEndOfFile = 0x1A;

bool EndsWithNoCase(std::string_view text, std::string_view suffix)
{
    if (text.size() < suffix.size())
        return false;
    return std::equal(suffix.begin(), suffix.end(), text.end() - static_cast<std::ptrdiff_t>(suffix.size()),
                      [](char a, char b) { return a == (b >= 'A' && b <= 'Z' ? b - 'A' + 'a' : b); });
}

} // namespace

bool CompressedTable::IsCompressed(const CString& path, std::string_view header)
{
    return EndsWithNoCase(path.View(), ".dbc") && !IsDatabaseContainer(header);
}

CompressedTable::CompressedTable(std::unique_ptr<CFile> file, const CString& path, std::string_view header,
                                 std::uint32_t recordCount, std::uint16_t recordLength)
    : m_file(std::move(file)), m_path(path), m_streamOffset(header.size() + kCrcBytes),
      m_recordBytes(std::uint64_t{ recordCount } * recordLength), m_headerCrc(Crc32(header))
{
    unsigned char stored[kCrcBytes];
    if (m_file->ReadAt(header.size(), stored, kCrcBytes) < kCrcBytes)
        ThrowDamagedFile(m_path, "su compresi\xF3n termina antes de su c\xF3" "digo final");
    m_storedCrc = static_cast<std::uint32_t>(LittleEndian<kCrcBytes>(stored));
    Restart();
}

void CompressedTable::Restart()
{
    m_decoder.reset(); // one window's memory at a time
    m_piece = {};
    m_pieceStart = 0;
    m_crc = m_headerCrc;
    m_decoder = std::make_unique<ImplodeDecoder>(*m_file, m_streamOffset, m_path);
}

bool CompressedTable::Advance()
{
    if (m_decoder->Ended())
        return false;
    m_pieceStart += m_piece.size();
    try {
        m_piece = m_decoder->Next();
        m_crc = Crc32(m_piece, m_crc);
        if (!m_piece.empty())
            m_lastByte = m_piece.back();
        if (m_decoder->Ended())
            Verify();
    } catch (const CFileException&) {
        // Damage is found again, at the same place, by the next read.
        m_decoder.reset();
        throw;
    }
    return true;
}

void CompressedTable::Verify()
{
    const std::uint64_t length = m_pieceStart + m_piece.size();
    // One byte more than the records is the end-of-file byte, and nothing else.
    if (length > m_recordBytes + 1 || (length == m_recordBytes + 1 && m_lastByte != kEndOfFile))
        ThrowDamagedFile(m_path, "guarda m\xE1s bytes que los registros que dice su cabecera");
    if (m_crc != m_storedCrc)
        ThrowDamagedFile(m_path, "su CRC-32 no coincide con el de sus datos");
    m_verified = true;
}

unsigned CompressedTable::Read(std::uint64_t offset, char* buffer, unsigned count)
{
    if (!m_decoder || offset < m_pieceStart)
        Restart();
    unsigned done = 0;
    while (done < count) {
        const std::uint64_t at = offset + done;
        if (at < m_pieceStart + m_piece.size()) {
            const auto from = static_cast<size_t>(at - m_pieceStart);
            const auto n = static_cast<unsigned>(std::min<size_t>(count - done, m_piece.size() - from));
            std::memcpy(buffer + done, m_piece.data() + from, n);
            done += n;
        } else if (!Advance()) {
            break;
        }
    }
    return done;
}

std::uint64_t CompressedTable::Size() const
{
    if (m_decoder && m_decoder->Ended())
        return m_pieceStart + m_piece.size();
    return std::numeric_limits<std::uint64_t>::max();
}

void CompressedTable::CheckEnd()
{
    if (m_verified)
        return;
    if (!m_decoder)
        Restart();
    while (Advance()) {
    }
}
