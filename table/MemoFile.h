#pragma once

#include "framework/CFile.h"
#include "framework/CString.h"
#include "table/TableFormat.h"

#include <cstdint>
#include <memory>
#include <string_view>

// The memo file of a table (.dbt or .fpt), opened read-only and without
// sharing, as the table is. Memos are served from a bounded window over the
// file, in pieces of at most the window's size: memory stays the same
// whatever the file's size or a memo's length, and memos stored one after
// another, as writers append them, cost one read per window.
class MemoFile {
public:
    static constexpr size_t kWindowBytes = 256 * 1024;

    // A smaller window serves the same bytes in more pieces.
    explicit MemoFile(size_t windowBytes = kWindowBytes);
    MemoFile(const MemoFile&) = delete;
    MemoFile& operator=(const MemoFile&) = delete;

    // Opens the memo file of the table at tablePath, whose version byte
    // tells its extension and format: the table's name with .fpt or .dbt,
    // in any letter case, in the table's folder. Raises CFileException
    // naming the memo file when it is missing, cannot be read, is too short
    // for its header or gives a block size of 0.
    void Open(const CString& tablePath, std::uint8_t version);
    // Opens the memo file at path, found already, in the given format (a
    // database container's .dct is an .fpt of another name).
    void OpenFile(const CString& path, MemoFormat format);
    void Close();
    bool IsOpen() const { return m_file.IsOpen(); }
    const CString& GetPath() const { return m_path; }

    // What a FoxPro memo block says it holds; a .dbt holds text only.
    enum class Content : std::uint8_t { Text, Picture, Object };
    struct Memo {
        Content Type = Content::Text;
        std::uint64_t Offset = 0; // of the memo's first byte, after any block header
        std::uint64_t Length = 0;
    };
    // The memo that begins at the block; false when the block, or the length
    // its header gives, lies past the end of the file.
    bool Find(std::uint64_t block, Memo& memo);
    // The memo's bytes from byte `from` on: at most PieceSize() of them, and
    // at least one while any are left. Valid until the next call.
    std::string_view Piece(const Memo& memo, std::uint64_t from);
    size_t PieceSize() const { return m_capacity; }

private:
    // length bytes at offset, all inside the file, from the window.
    std::string_view View(std::uint64_t offset, size_t length);
    // Where the text of a dBase III memo ends: at its first 0x1A, or the file's end.
    std::uint64_t TextEnd(std::uint64_t offset);

    CFile m_file;
    CString m_path;
    MemoFormat m_format = MemoFormat::DBaseIII;
    std::uint64_t m_size = 0;
    unsigned m_blockSize = 0;
    const size_t m_capacity;
    std::unique_ptr<char[]> m_window;
    std::uint64_t m_windowStart = 0;
    size_t m_windowFill = 0;
};
