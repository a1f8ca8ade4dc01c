#pragma once

#include "framework/CFile.h"
#include "framework/CString.h"
#include "table/ImplodeDecoder.h"
#include "table/RecordSource.h"

#include <cstdint>
#include <memory>
#include <string_view>

// A compressed table (.dbc), as Brazil's health ministry publishes its
// microdata: the header of the original .dbf exactly as it was, the CRC-32 of
// that whole .dbf (4 bytes, little-endian), then one implode stream whose
// output is the rest of the .dbf: its records and, usually, its end-of-file
// byte. Anything after the stream's end code is ignored.
//
// Records are expanded as the reader walks them, a piece at a time; a read
// before the piece in hand expands the stream again from its start. When the
// end code is read, the output must be no longer than the header's records,
// or one byte longer where that byte is the end-of-file byte 0x1A, and the
// CRC-32 of the header and the output must be the one stored; otherwise, or
// when the stream is damaged, CFileException names the file and the damage.
class CompressedTable : public RecordSource {
public:
    // Whether the table at path with this header is compressed: a file named
    // .dbc, in any letter case, that is not a database container.
    static bool IsCompressed(const CString& path, std::string_view header);

    // header: the file's first bytes, up to the header length. The header's
    // record count and length give how long the output may be.
    CompressedTable(std::unique_ptr<CFile> file, const CString& path, std::string_view header,
                    std::uint32_t recordCount, std::uint16_t recordLength);

    unsigned Read(std::uint64_t offset, char* buffer, unsigned count) override;
    std::uint64_t Size() const override;
    void CheckEnd() override;

private:
    // A new expansion from the stream's first byte.
    void Restart();
    // The next piece of output; false once the end code has been read.
    bool Advance();
    // The checks at the end code.
    void Verify();

    std::unique_ptr<CFile> m_file;
    const CString m_path;
    std::uint64_t m_streamOffset;   // of the stream's first byte in the file
    std::uint64_t m_recordBytes;    // what the header's records take
    std::uint32_t m_storedCrc = 0;
    std::uint32_t m_headerCrc = 0;

    std::unique_ptr<ImplodeDecoder> m_decoder; // none after a failure: the next read starts again
    std::string_view m_piece;
    std::uint64_t m_pieceStart = 0; // the offset of the piece's first byte
    std::uint32_t m_crc = 0;        // of the header and the output up to the piece's end
    char m_lastByte = 0;            // the output's last byte so far
    bool m_verified = false;
};
