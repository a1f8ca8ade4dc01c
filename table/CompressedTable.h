#pragma once

#include "framework/CFile.h"
#include "framework/CString.h"
#include "table/ImplodeDecoder.h"
#include "table/RecordSource.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

// A compressed table (.dbc), as Brazil's health ministry publishes its
// microdata: the header of the original .dbf exactly as it was, the CRC-32 of
// that whole .dbf (4 bytes, little-endian), then one implode stream whose
// output is the rest of the .dbf: its records and, usually, its end-of-file
// byte. Anything after the stream's end code is ignored.
//
// Records are expanded as the reader walks them, a piece at a time. On the
// way the table keeps checkpoints, each the decoder's saved state with the
// CRC-32 so far, at fixed intervals of pieces, so that a read anywhere
// before the farthest output yet expanded starts at the checkpoint before
// it: it expands at most an interval and the piece it wants. A read past
// that goes on from the farthest state known. Their number is bounded: when
// they are full, every other one goes and the interval doubles.
//
// When the end code is read, the output must be no longer than the header's
// records, or one byte longer where that byte is the end-of-file byte 0x1A,
// and the CRC-32 of the header and the output must be the one stored;
// otherwise, or when the stream is damaged, CFileException names the file
// and the damage, and the next read that reaches the damage raises it again.
// Output is only ever reached by expanding everything before it once, so the
// CRC-32 at any checkpoint is that of the whole output before it, and the end
// is checked whichever way it is reached; what lies before the end cannot be
// checked until then.
class CompressedTable : public RecordSource {
public:
    // At first a checkpoint each 16 pieces, about 1 MiB of output: a jump
    // then expands at most about 1.3 MiB, the interval and the read-ahead
    // window (a few milliseconds), while a walk from start to end keeps only
    // about 4 KiB of window a MiB, which costs nothing to speak of beside the
    // expansion (fresh memory is not free: one each piece cost a full read a
    // third more on a virtual machine). At most 2048 of them: about 8.4 MiB,
    // and a checkpoint each MiB up to 2 GiB of output, each 2 MiB up to 4.
    static constexpr std::uint64_t kFirstInterval = 16;
    static constexpr size_t kMostCheckpoints = 2048;
    static_assert(kMostCheckpoints * (4096 + 256) < 16 * 1024 * 1024,
                  "the checkpoints leave the buffers room under 32 MiB");

    // Whether the table at path with this header is compressed: a file named
    // .dbc, in any letter case, that is not a database container.
    static bool IsCompressed(const CString& path, std::string_view header);

    // header: the file's first bytes, up to the header length. The header's
    // record count and length give how long the output may be. The interval
    // is in pieces; at least two checkpoints are kept.
    CompressedTable(std::unique_ptr<CFile> file, const CString& path, std::string_view header,
                    std::uint32_t recordCount, std::uint16_t recordLength,
                    size_t mostCheckpoints = kMostCheckpoints, std::uint64_t firstInterval = kFirstInterval);

    unsigned Read(std::uint64_t offset, char* buffer, unsigned count) override;
    std::uint64_t Size() const override;
    void CheckEnd() override;

    // What the checkpoints cost and give: how many there are, how many pieces
    // apart, and how many pieces have been expanded since opening.
    size_t CheckpointCount() const { return m_checkpoints.size(); }
    std::uint64_t CheckpointInterval() const { return m_interval; }
    std::uint64_t ExpandedPieces() const { return m_expanded; }

private:
    struct Checkpoint {
        std::uint64_t Output; // the offset of the next piece's first byte
        std::uint32_t Crc;    // of the header and the output before it
        ImplodeDecoder::State Decoder;
    };

    // Makes the piece in hand begin at or before offset, from the checkpoint
    // nearest before it unless the decoder in hand is already as near.
    void Seek(std::uint64_t offset);
    // The next piece of output; false once the end code has been read.
    bool Advance();
    // Saves a checkpoint where one falls due, after a piece.
    void Keep();
    // The checks at the end code.
    void Verify();

    std::unique_ptr<CFile> m_file;
    const CString m_path;
    std::uint64_t m_recordBytes;    // what the header's records take
    std::uint32_t m_storedCrc = 0;
    const size_t m_mostCheckpoints;

    // Checkpoint i is where piece i * m_interval begins, counted from 0: the
    // first at the stream's start.
    std::vector<Checkpoint> m_checkpoints;
    std::uint64_t m_interval;
    std::uint64_t m_expanded = 0;

    std::unique_ptr<ImplodeDecoder> m_decoder; // none after a failure: the next read starts again
    std::string_view m_piece;
    std::uint64_t m_nextPiece = 0;  // how many pieces come before the next one
    std::uint64_t m_pieceStart = 0; // the offset of the piece's first byte
    std::uint32_t m_crc = 0;        // of the header and the output up to the piece's end
    char m_lastByte = 0;            // the output's last byte so far
    std::optional<std::uint64_t> m_length; // the output's, once its end has been checked
};
