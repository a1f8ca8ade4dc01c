#pragma once

// ZipWriter: a ZIP archive written as it goes, each entry deflated by zlib.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class CFile;

// Writes a ZIP archive front to back, never seeking: each entry's sizes and
// CRC-32 follow its data in a data descriptor, and the central directory
// comes last. Sizes and offsets from zip64From on are written in ZIP64
// form, and only those, so that an archive under 4 GiB is a plain one.
class ZipWriter {
public:
    static constexpr std::uint64_t kZip64From = 0xFFFFFFFFu;

    explicit ZipWriter(CFile& out, std::uint64_t zip64From = kZip64From);
    ~ZipWriter();
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    // A new entry, of at most `most` bytes before compression: an entry that
    // may reach zip64From says so in its local header, since its descriptor
    // then holds 8-byte sizes.
    void Begin(std::string_view name, std::uint64_t most);
    void Write(std::string_view bytes);
    void End();
    // A whole entry at once.
    void Add(std::string_view name, std::string_view bytes);
    // The central directory; the archive is then complete.
    void Finish();

    // Where the archive stands, to take back the entries after it.
    struct Mark {
        size_t Entries = 0;
        std::uint64_t Offset = 0;
    };
    Mark Here() const { return { m_entries.size(), m_offset }; }
    // The entries from the mark on are dropped and the file cut back to it;
    // an entry under way is given up.
    void RollBack(const Mark& mark);

private:
    struct Entry {
        std::string Name;
        std::uint64_t Offset = 0;
        std::uint64_t Size = 0;       // before compression
        std::uint64_t Compressed = 0;
        std::uint32_t Crc = 0;
        bool Zip64Local = false;
    };
    void Deflate(const void* bytes, size_t size, bool last);
    void Put(const void* bytes, size_t size);
    void Emit();
    bool Big(std::uint64_t value) const { return value >= m_zip64From; }

    CFile& m_out;
    const std::uint64_t m_zip64From;
    struct Stream; // zlib's state
    std::unique_ptr<Stream> m_stream;
    std::vector<Entry> m_entries;
    bool m_open = false;           // an entry is under way
    std::uint64_t m_offset = 0;    // bytes of the archive so far
    std::vector<char> m_pending;   // bytes not yet in the file
    std::vector<unsigned char> m_deflated;
};
