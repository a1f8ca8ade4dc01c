#include "table/MemoFile.h"

#include "framework/AnsiText.h"
#include "framework/FilePath.h"

#include <algorithm>
#include <cstring>

namespace {

// Every format's header takes 512 bytes, whatever its block size: the block
// size is at byte 6 of an .fpt and at byte 20 of a dBase IV .dbt.
constexpr unsigned kHeaderSize = 512;
constexpr unsigned kDefaultBlockSize = 512;
// A dBase IV memo block begins with these four bytes and its length.
constexpr char kDBaseIVBlock[] = { '\xFF', '\xFF', '\x08', '\x00' };
constexpr unsigned kBlockHeader = 8;
// Memos far from the last one are read alone, not with a whole window
// after them: memos in no particular order cost a small read each.
constexpr size_t kLoneRead = 4096;

[[noreturn]] void ThrowNoMemoFile(CFileException::Cause cause, const CString& path, const char* format)
{
    throw CFileException(cause, path, 0, format);
}

} // namespace

MemoFile::MemoFile(size_t windowBytes)
    : m_capacity(std::max<size_t>(windowBytes, kBlockHeader)), m_window(std::make_unique<char[]>(m_capacity))
{
}

void MemoFile::Open(const CString& tablePath, std::uint8_t version)
{
    Close();
    const MemoFormat format = MemoFormatOf(version);
    // The extension in the letter case of the table's own, where a file of
    // that spelling is there; otherwise any spelling.
    const CString expected(std::string_view(
        CompanionPath(tablePath.View(), format == MemoFormat::FoxPro ? ".fpt" : ".dbt")));
    const CString path = CFile::FindIgnoringCase(expected);
    if (path.IsEmpty())
        ThrowNoMemoFile(CFileException::fileNotFound, expected, "No se encuentra el archivo de memos %s.");
    OpenFile(path, format);
}

void MemoFile::OpenFile(const CString& path, MemoFormat format)
{
    Close();
    CFileStatus status;
    if (!CFile::GetStatus(path, status) || !status.m_isRegular)
        ThrowNoMemoFile(CFileException::invalidFile, path, "El archivo de memos %s no es un archivo.");

    m_file.Open(path, CFile::modeRead | CFile::shareExclusive);
    m_path = path;
    m_format = format;
    m_size = m_file.GetLength();
    char header[kHeaderSize];
    if (m_file.ReadAt(0, header, kHeaderSize) < kHeaderSize) {
        Close();
        ThrowNoMemoFile(CFileException::invalidFile, path,
                        "El archivo de memos %s es demasiado corto para su cabecera.");
    }
    switch (format) {
    case MemoFormat::FoxPro:
        m_blockSize = static_cast<unsigned char>(header[6]) << 8 | static_cast<unsigned char>(header[7]);
        break;
    case MemoFormat::DBaseIII:
        m_blockSize = kDefaultBlockSize;
        break;
    case MemoFormat::DBaseIV:
        m_blockSize = static_cast<unsigned>(LittleEndian<2>(header + 20));
        if (m_blockSize == 0)
            m_blockSize = kDefaultBlockSize;
        break;
    }
    if (m_blockSize == 0) {
        Close();
        ThrowNoMemoFile(CFileException::invalidFile, path, ANSI_TEXT("El archivo de memos %s da un tamaño de bloque 0."));
    }
}

void MemoFile::Close()
{
    m_file.Abort();
    m_path.Empty();
    m_size = 0;
    m_blockSize = 0;
    m_windowStart = 0;
    m_windowFill = 0;
}

bool MemoFile::Find(std::uint64_t block, Memo& memo)
{
    if (!IsOpen() || block >= m_size / m_blockSize + 1)
        return false;
    const std::uint64_t offset = block * m_blockSize;
    if (offset >= m_size)
        return false;
    const std::uint64_t left = m_size - offset;
    if (m_format == MemoFormat::FoxPro) {
        if (left < kBlockHeader)
            return false;
        const std::string_view header = View(offset, kBlockHeader);
        const std::uint32_t type = static_cast<std::uint32_t>(BigEndian<4>(header.data()));
        const std::uint32_t length = static_cast<std::uint32_t>(BigEndian<4>(header.data() + 4));
        if (length > left - kBlockHeader)
            return false;
        memo.Type = type == 1 ? Content::Text : type == 0 ? Content::Picture : Content::Object;
        memo.Offset = offset + kBlockHeader;
        memo.Length = length;
        return true;
    }
    memo.Type = Content::Text;
    if (left >= kBlockHeader) {
        const std::string_view header = View(offset, kBlockHeader);
        if (std::memcmp(header.data(), kDBaseIVBlock, sizeof kDBaseIVBlock) == 0) {
            // The length counts the block's own eight bytes.
            const auto length = static_cast<std::uint32_t>(LittleEndian<4>(header.data() + 4));
            if (length < kBlockHeader || length - kBlockHeader > left - kBlockHeader)
                return false;
            memo.Offset = offset + kBlockHeader;
            memo.Length = length - kBlockHeader;
            return true;
        }
    }
    memo.Offset = offset;
    memo.Length = TextEnd(offset) - offset;
    return true;
}

std::uint64_t MemoFile::TextEnd(std::uint64_t offset)
{
    while (offset < m_size) {
        const std::string_view piece = View(offset, static_cast<size_t>(std::min<std::uint64_t>(m_capacity, m_size - offset)));
        if (const void* end = std::memchr(piece.data(), '\x1A', piece.size()))
            return offset + static_cast<size_t>(static_cast<const char*>(end) - piece.data());
        offset += piece.size();
    }
    return m_size;
}

std::string_view MemoFile::Piece(const Memo& memo, std::uint64_t from)
{
    if (from >= memo.Length)
        return {};
    return View(memo.Offset + from, static_cast<size_t>(std::min<std::uint64_t>(m_capacity, memo.Length - from)));
}

std::string_view MemoFile::View(std::uint64_t offset, size_t length)
{
    const std::uint64_t windowEnd = m_windowStart + m_windowFill;
    if (offset < m_windowStart || offset + length > windowEnd) {
        // Onward from the window: the next stretch of the file, read whole.
        const bool onward = offset >= m_windowStart && (offset < windowEnd || offset - windowEnd < m_capacity);
        const size_t wanted = onward ? m_capacity : std::max(length, std::min(kLoneRead, m_capacity));
        const auto count = static_cast<unsigned>(std::min<std::uint64_t>(wanted, m_size - offset));
        m_windowFill = 0; // so that a read that fails leaves no stale window
        const unsigned got = m_file.ReadAt(offset, m_window.get(), count);
        // The file is held without sharing, so it cannot shrink under the
        // reader; where a system lets it, that is an error, not a short memo.
        if (got < length)
            throw CFileException(CFileException::endOfFile, m_path);
        m_windowStart = offset;
        m_windowFill = got;
    }
    return { m_window.get() + (offset - m_windowStart), length };
}
