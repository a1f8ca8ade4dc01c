#include "table/CompressedTable.h"

#include "framework/AnsiText.h"
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
                                 std::uint32_t recordCount, std::uint16_t recordLength, size_t mostCheckpoints,
                                 std::uint64_t firstInterval)
    : m_file(std::move(file)), m_path(path), m_recordBytes(std::uint64_t{ recordCount } * recordLength),
      m_mostCheckpoints(std::max<size_t>(mostCheckpoints, 2)), m_interval(std::max<std::uint64_t>(firstInterval, 1))
{
    unsigned char stored[kCrcBytes];
    if (m_file->ReadAt(header.size(), stored, kCrcBytes) < kCrcBytes)
        ThrowDamagedFile(m_path, ANSI_TEXT("su compresión termina antes de su código final"));
    m_storedCrc = static_cast<std::uint32_t>(LittleEndian<kCrcBytes>(stored));
    m_decoder = std::make_unique<ImplodeDecoder>(*m_file, header.size() + kCrcBytes, m_path);
    m_crc = Crc32(header);
    m_checkpoints.reserve(m_mostCheckpoints);
    m_checkpoints.push_back({ 0, m_crc, m_decoder->Save() });
}

void CompressedTable::Seek(std::uint64_t offset)
{
    // The last checkpoint at or before offset: the first is at 0.
    const auto after = std::upper_bound(m_checkpoints.begin(), m_checkpoints.end(), offset,
                                        [](std::uint64_t at, const Checkpoint& c) { return at < c.Output; });
    const Checkpoint& nearest = *(after - 1);
    if (m_decoder && offset >= m_pieceStart && nearest.Output <= m_pieceStart + m_piece.size())
        return;
    m_decoder.reset(); // one window's memory at a time
    m_decoder = std::make_unique<ImplodeDecoder>(*m_file, nearest.Decoder, m_path);
    m_piece = {};
    m_pieceStart = nearest.Output;
    m_nextPiece = static_cast<std::uint64_t>(after - 1 - m_checkpoints.begin()) * m_interval;
    m_crc = nearest.Crc;
    m_lastByte = nearest.Decoder.Window.empty() ? 0 : nearest.Decoder.Window.back();
}

bool CompressedTable::Advance()
{
    if (m_decoder->Ended())
        return false;
    m_pieceStart += m_piece.size();
    try {
        m_piece = m_decoder->Next();
        ++m_nextPiece;
        ++m_expanded;
        m_crc = Crc32(m_piece, m_crc);
        if (!m_piece.empty())
            m_lastByte = m_piece.back();
        if (m_decoder->Ended())
            Verify();
        else
            Keep();
    } catch (const CFileException&) {
        // Damage is found again, at the same place, by the next read.
        m_decoder.reset();
        throw;
    }
    return true;
}

void CompressedTable::Keep()
{
    if (m_nextPiece != m_checkpoints.size() * m_interval)
        return;
    if (m_checkpoints.size() == m_mostCheckpoints) {
        // Every other one goes: those left are twice as far apart, and this
        // piece is where the next of them falls due.
        for (size_t i = 1; 2 * i < m_checkpoints.size(); ++i)
            m_checkpoints[i] = std::move(m_checkpoints[2 * i]);
        m_checkpoints.resize((m_checkpoints.size() + 1) / 2);
        m_interval *= 2;
        if (m_nextPiece != m_checkpoints.size() * m_interval)
            return;
    }
    m_checkpoints.push_back({ m_pieceStart + m_piece.size(), m_crc, m_decoder->Save() });
}

void CompressedTable::Verify()
{
    const std::uint64_t length = m_pieceStart + m_piece.size();
    // One byte more than the records is the end-of-file byte, and nothing else.
    if (length > m_recordBytes + 1 || (length == m_recordBytes + 1 && m_lastByte != kEndOfFile))
        ThrowDamagedFile(m_path, ANSI_TEXT("guarda más bytes que los registros que dice su cabecera"));
    if (m_crc != m_storedCrc)
        ThrowDamagedFile(m_path, "su CRC-32 no coincide con el de sus datos");
    m_length = length;
}

unsigned CompressedTable::Read(std::uint64_t offset, char* buffer, unsigned count)
{
    if (m_length && offset >= *m_length)
        return 0;
    Seek(offset);
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
    return m_length ? *m_length : std::numeric_limits<std::uint64_t>::max();
}

void CompressedTable::CheckEnd()
{
    if (m_length)
        return;
    Seek(std::numeric_limits<std::uint64_t>::max());
    while (Advance()) {
    }
}
