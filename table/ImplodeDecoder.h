#pragma once

#include "framework/CFile.h"
#include "framework/CString.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// Expands a stream compressed by the PKWARE Data Compression Library's
// "implode", read from a file from a given offset on, a piece at a time: it
// holds only a read block, the dictionary window (the last 4 KiB of output)
// and the piece it gives, whatever the stream's length.
//
// The stream: a byte of literal mode (0: literals are plain bytes, 1: they
// are Huffman-coded), a byte of dictionary size (4, 5, 6: 1, 2, 4 KiB), then
// bits, least significant first. A 0 bit and a literal; a 1 bit, a length
// (2 to 518; 519 ends the stream) and a distance to copy from.
//
// Every damage raises CFileException naming the file: a mode or dictionary
// byte that is none of those, a stream that ends before its end code, a copy
// from before the stream's first byte.
//
// Between two pieces, the whole of the expansion's state is small (where the
// next code begins and the last dictionary's worth of output): saved, it lets
// a new decoder go on from there without expanding what came before.
class ImplodeDecoder {
public:
    // The most a piece holds beyond a whole block: a copy that began in it.
    static constexpr size_t kPieceBytes = 64 * 1024;

    struct State {
        std::uint64_t Bit = 0; // where the next code begins, in bits from the file's start
        std::string Window;    // the output's last bytes: no copy reaches further back
        bool CodedLiterals = false;
        std::uint8_t DictionaryBits = 0;
    };

    // From the stream's first byte, at offset in the file.
    ImplodeDecoder(CFile& file, std::uint64_t offset, const CString& path);
    // From a state saved by another decoder of the same stream.
    ImplodeDecoder(CFile& file, const State& state, const CString& path);
    ImplodeDecoder(const ImplodeDecoder&) = delete;
    ImplodeDecoder& operator=(const ImplodeDecoder&) = delete;

    // The output that follows the last piece: at least kPieceBytes of it
    // until the end code, valid until the next call. Empty once the end code
    // has been read.
    std::string_view Next();
    bool Ended() const { return m_ended; }
    // Where the expansion stands after the last piece; before the end code.
    State Save() const;

private:
    ImplodeDecoder(CFile& file, const CString& path);
    void Start();
    // Expands into the output block until it holds a piece, or the end code.
    void Expand();
    // Makes at least 8 bytes readable at m_in: the file's next block, or
    // zeros after the file's end, which the checks after each code refuse.
    void Reload();
    [[noreturn]] void ThrowDamaged(const char* what) const;

    CFile& m_file;
    const CString m_path;
    std::uint64_t m_offset; // of the file's next byte to read

    std::unique_ptr<unsigned char[]> m_input;
    const unsigned char* m_in = nullptr;   // the next byte to load into m_bits
    const unsigned char* m_real = nullptr; // the end of the file's bytes in m_input
    const unsigned char* m_end = nullptr;  // the end of what may be loaded, zeros included
    bool m_fileEnded = false;
    std::uint64_t m_bits = 0; // the next m_count bits of the stream, first in the lowest bit
    unsigned m_count = 0;

    bool m_codedLiterals = false;
    unsigned m_dictionaryBits = 0;
    bool m_ended = false;

    std::unique_ptr<char[]> m_output;
    size_t m_position = 0;       // where the next byte of output goes
    size_t m_history = 0;        // bytes of earlier output before the piece, at most the window
};

// Raises the CFileException of a damaged file: what says what is wrong.
[[noreturn]] void ThrowDamagedFile(const CString& path, const char* what);
