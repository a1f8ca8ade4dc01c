// The ZIP archive writer: local headers, deflated data, data descriptors,
// the central directory, and their ZIP64 forms where sizes call for them.
#include "export/ZipWriter.h"

#include "framework/CFile.h"

#include <zlib.h>

#include <cstring>
#include <stdexcept>

namespace {

// Bytes go to the file in pieces of this size or more.
constexpr size_t kPiece = 256 * 1024;

// Every entry has the same time stamp, the earliest ZIP can say (1980-01-01
// 00:00): an export of the same table gives the same bytes.
constexpr std::uint16_t kDosTime = 0, kDosDate = (0 << 9) | (1 << 5) | 1;
// Bit 3: sizes and CRC in a descriptor after the data; bit 11: UTF-8 names.
constexpr std::uint16_t kFlags = 0x0008 | 0x0800;
constexpr std::uint16_t kDeflated = 8;
constexpr std::uint16_t kVersion = 20, kVersion64 = 45;

class Bytes {
public:
    Bytes& U16(unsigned value) { return Le(value, 2); }
    Bytes& U32(std::uint64_t value) { return Le(value, 4); }
    Bytes& U64(std::uint64_t value) { return Le(value, 8); }
    Bytes& Text(std::string_view text)
    {
        m_bytes.append(text);
        return *this;
    }
    const std::string& Get() const { return m_bytes; }

private:
    Bytes& Le(std::uint64_t value, int count)
    {
        for (int i = 0; i < count; ++i)
            m_bytes += static_cast<char>(value >> (8 * i) & 0xFF);
        return *this;
    }
    std::string m_bytes;
};

} // namespace

struct ZipWriter::Stream {
    z_stream Z{};
    bool Ready = false;
    Entry Current;

    ~Stream()
    {
        if (Ready)
            deflateEnd(&Z);
    }
};

ZipWriter::ZipWriter(CFile& out, std::uint64_t zip64From)
    : m_out(out), m_zip64From(zip64From), m_stream(std::make_unique<Stream>()), m_deflated(64 * 1024)
{
    // Level 1: the sheets' markup repeats itself so much that more effort
    // buys little size and costs several times the time.
    if (deflateInit2(&m_stream->Z, 1, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::bad_alloc();
    m_stream->Ready = true;
    m_pending.reserve(kPiece + m_deflated.size());
}

ZipWriter::~ZipWriter() = default;

void ZipWriter::Put(const void* bytes, size_t size)
{
    m_pending.insert(m_pending.end(), static_cast<const char*>(bytes), static_cast<const char*>(bytes) + size);
    m_offset += size;
    if (m_pending.size() >= kPiece)
        Emit();
}

void ZipWriter::Emit()
{
    if (!m_pending.empty())
        m_out.Write(m_pending.data(), static_cast<unsigned>(m_pending.size()));
    m_pending.clear();
}

void ZipWriter::Begin(std::string_view name, std::uint64_t most)
{
    Entry& entry = m_stream->Current;
    entry = Entry();
    entry.Name = std::string(name);
    entry.Offset = m_offset;
    // Deflate may add a few bytes to what does not compress.
    entry.Zip64Local = Big(most + most / 1000 + 64);
    Bytes header;
    header.U32(0x04034B50).U16(entry.Zip64Local ? kVersion64 : kVersion).U16(kFlags).U16(kDeflated)
        .U16(kDosTime).U16(kDosDate).U32(0).U32(0).U32(0).U16(name.size())
        .U16(entry.Zip64Local ? 20 : 0).Text(name);
    if (entry.Zip64Local)
        header.U16(0x0001).U16(16).U64(0).U64(0);
    Put(header.Get().data(), header.Get().size());
    deflateReset(&m_stream->Z);
    m_open = true;
}

void ZipWriter::Deflate(const void* bytes, size_t size, bool last)
{
    z_stream& z = m_stream->Z;
    z.next_in = static_cast<Bytef*>(const_cast<void*>(bytes));
    z.avail_in = static_cast<uInt>(size);
    for (;;) {
        z.next_out = m_deflated.data();
        z.avail_out = static_cast<uInt>(m_deflated.size());
        const int result = deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
        if (result == Z_STREAM_ERROR)
            throw std::logic_error("deflate");
        const size_t made = m_deflated.size() - z.avail_out;
        m_stream->Current.Compressed += made;
        Put(m_deflated.data(), made);
        if (last ? result == Z_STREAM_END : z.avail_in == 0 && z.avail_out != 0)
            break;
    }
}

void ZipWriter::Write(std::string_view bytes)
{
    Entry& entry = m_stream->Current;
    // zlib counts in 32 bits: pieces of a gigabyte at most.
    constexpr size_t kMost = size_t(1) << 30;
    for (size_t at = 0; at < bytes.size(); at += kMost) {
        const size_t size = std::min(kMost, bytes.size() - at);
        entry.Crc = static_cast<std::uint32_t>(
            crc32(entry.Crc, reinterpret_cast<const Bytef*>(bytes.data() + at), static_cast<uInt>(size)));
        entry.Size += size;
        Deflate(bytes.data() + at, size, false);
    }
}

void ZipWriter::End()
{
    Deflate(nullptr, 0, true);
    Entry& entry = m_stream->Current;
    Bytes descriptor;
    descriptor.U32(0x08074B50).U32(entry.Crc);
    // An entry past the bound it was begun with (never, when the bound
    // holds) still gets 8-byte sizes: readers take them from the central
    // directory.
    if (entry.Zip64Local || Big(entry.Compressed) || Big(entry.Size))
        descriptor.U64(entry.Compressed).U64(entry.Size);
    else
        descriptor.U32(entry.Compressed).U32(entry.Size);
    Put(descriptor.Get().data(), descriptor.Get().size());
    m_entries.push_back(entry);
    m_open = false;
}

void ZipWriter::Add(std::string_view name, std::string_view bytes)
{
    Begin(name, bytes.size());
    Write(bytes);
    End();
}

void ZipWriter::RollBack(const Mark& mark)
{
    m_open = false;
    m_entries.resize(mark.Entries);
    if (mark.Offset + m_pending.size() >= m_offset) {
        m_pending.resize(m_pending.size() - static_cast<size_t>(m_offset - mark.Offset));
    } else {
        m_pending.clear();
        m_out.SetLength(mark.Offset);
    }
    m_offset = mark.Offset;
}

void ZipWriter::Finish()
{
    const std::uint64_t start = m_offset;
    for (const Entry& entry : m_entries) {
        // The ZIP64 field holds, in this order, only those of the three
        // values that do not fit.
        Bytes extra;
        if (Big(entry.Size))
            extra.U64(entry.Size);
        if (Big(entry.Compressed))
            extra.U64(entry.Compressed);
        if (Big(entry.Offset))
            extra.U64(entry.Offset);
        const std::string values = extra.Get();
        const bool zip64 = !values.empty() || entry.Zip64Local;
        Bytes header;
        header.U32(0x02014B50).U16(zip64 ? kVersion64 : kVersion).U16(zip64 ? kVersion64 : kVersion)
            .U16(kFlags).U16(kDeflated).U16(kDosTime).U16(kDosDate).U32(entry.Crc)
            .U32(Big(entry.Compressed) ? 0xFFFFFFFFu : entry.Compressed)
            .U32(Big(entry.Size) ? 0xFFFFFFFFu : entry.Size).U16(entry.Name.size())
            .U16(values.empty() ? 0 : values.size() + 4).U16(0).U16(0).U16(0).U32(0)
            .U32(Big(entry.Offset) ? 0xFFFFFFFFu : entry.Offset).Text(entry.Name);
        if (!values.empty())
            header.U16(0x0001).U16(values.size()).Text(values);
        Put(header.Get().data(), header.Get().size());
    }
    const std::uint64_t size = m_offset - start;
    const std::uint64_t count = m_entries.size();
    const bool zip64 = count >= 0xFFFF || Big(size) || Big(start);
    Bytes end;
    if (zip64) {
        const std::uint64_t record = m_offset;
        end.U32(0x06064B50).U64(44).U16(kVersion64).U16(kVersion64).U32(0).U32(0).U64(count).U64(count)
            .U64(size).U64(start);
        end.U32(0x07064B50).U32(0).U64(record).U32(1);
    }
    const unsigned entries = count >= 0xFFFF ? 0xFFFFu : static_cast<unsigned>(count);
    end.U32(0x06054B50).U16(0).U16(0).U16(entries).U16(entries).U32(Big(size) ? 0xFFFFFFFFu : size)
        .U32(Big(start) ? 0xFFFFFFFFu : start).U16(0);
    Put(end.Get().data(), end.Get().size());
    Emit();
}
