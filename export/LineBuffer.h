#pragma once

#include "framework/ByteSearch.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

// A text of at most eight bytes, such as a separator or a literal, which a
// LineBuffer appends in one move of eight bytes whatever its length.
struct ShortText {
    char Bytes[8] = {};
    std::uint8_t Length = 0;

    ShortText() = default;
    ShortText(std::string_view text) : Length(static_cast<std::uint8_t>(std::min<size_t>(text.size(), 8)))
    {
        std::memcpy(Bytes, text.data(), Length);
    }
    std::string_view View() const { return { Bytes, Length }; }
};

// The text of export lines on their way to the file. Appending is inline and
// costs a copy of the bytes, as it is done for every field of every record.
class LineBuffer {
public:
    explicit LineBuffer(size_t capacity)
        : m_bytes(std::make_unique<char[]>(capacity)), m_capacity(capacity)
    {
    }

    ORVALIS_ALWAYS_INLINE void Append(std::string_view text)
    {
        Reserve(text.size());
        Copy(m_bytes.get() + m_size, text.data(), text.size());
        m_size += text.size();
    }
    // Texts that may be read kReadable bytes from their start, whatever their
    // length, are copied in that many bytes when no longer: the same work
    // for every length, and no branch for the processor to mispredict.
    static constexpr size_t kReadable = 32;
    struct Readable { std::uint64_t Words[kReadable / 8]; };

    ORVALIS_ALWAYS_INLINE void AppendReadable(std::string_view text)
    {
        if (text.size() > kReadable || !text.data()) {
            Append(text);
            return;
        }
        Reserve(kReadable);
        CopyPiece<Readable>(m_bytes.get() + m_size, text.data());
        m_size += text.size();
    }

    // The same, telling whether the text holds the byte c: the quoted values
    // of the comma-separated layout are searched in the words that copy them.
    ORVALIS_ALWAYS_INLINE bool AppendReadableFinding(std::string_view text, char c)
    {
        const size_t count = text.size();
        if (count > kReadable || !text.data()) {
            Append(text);
            return count > 0 && std::memchr(text.data(), c, count) != nullptr;
        }
        Reserve(kReadable);
        char* to = m_bytes.get() + m_size;
        m_size += count;
        const std::uint64_t pattern = 0x0101010101010101u * static_cast<unsigned char>(c);
        std::uint64_t found = 0;
        for (size_t at = 0; at < kReadable; at += 8) {
            const std::uint64_t word = LoadWord(text.data() + at);
            std::memcpy(to + at, &word, 8);
            found |= ZeroBytes(word ^ pattern);
        }
        // A byte past the text may have matched: only then is the text
        // itself searched.
        return found != 0 && std::memchr(text.data(), c, count) != nullptr;
    }

    ORVALIS_ALWAYS_INLINE void Append(const ShortText& text)
    {
        Reserve(sizeof text.Bytes);
        std::memcpy(m_bytes.get() + m_size, text.Bytes, sizeof text.Bytes);
        m_size += text.Length;
    }

    ORVALIS_ALWAYS_INLINE void Append(char c)
    {
        Reserve(1);
        m_bytes[m_size++] = c;
    }
    void Append(size_t count, char c)
    {
        Reserve(count);
        std::memset(m_bytes.get() + m_size, c, count);
        m_size += count;
    }

    // Room for `most` bytes, written in place and then kept up to `end`.
    ORVALIS_ALWAYS_INLINE char* Claim(size_t most)
    {
        Reserve(most);
        return m_bytes.get() + m_size;
    }
    ORVALIS_ALWAYS_INLINE void Keep(const char* end) { m_size = static_cast<size_t>(end - m_bytes.get()); }

    // The count bytes at `at` become the text, and the bytes after them move.
    void Replace(size_t at, size_t count, std::string_view text)
    {
        Reserve(text.size());
        std::memmove(m_bytes.get() + at + text.size(), m_bytes.get() + at + count, m_size - at - count);
        std::memcpy(m_bytes.get() + at, text.data(), text.size());
        m_size = m_size - count + text.size();
    }

    size_t Size() const { return m_size; }
    const char* Data() const { return m_bytes.get(); }
    std::string_view View(size_t from = 0) const { return { m_bytes.get() + from, m_size - from }; }
    void Truncate(size_t size) { m_size = std::min(size, m_size); }
    void Clear() { m_size = 0; }
    void Swap(LineBuffer& other) noexcept
    {
        std::swap(m_bytes, other.m_bytes);
        std::swap(m_size, other.m_size);
        std::swap(m_capacity, other.m_capacity);
    }

private:
    // Field texts are mostly short: they are copied inline, in pieces that
    // overlap rather than byte by byte, never reading outside the text.
    template <class Piece>
    static void CopyPiece(char* to, const char* from)
    {
        Piece piece;
        std::memcpy(&piece, from, sizeof piece);
        std::memcpy(to, &piece, sizeof piece);
    }
    static ORVALIS_ALWAYS_INLINE void Copy(char* to, const char* from, size_t count)
    {
        struct Bytes16 { std::uint64_t Low, High; };
        struct Bytes32 { Bytes16 Low, High; };
        if (count > 64) {
            std::memcpy(to, from, count);
        } else if (count > 32) {
            CopyPiece<Bytes32>(to, from);
            CopyPiece<Bytes32>(to + count - 32, from + count - 32);
        } else if (count > 16) {
            CopyPiece<Bytes16>(to, from);
            CopyPiece<Bytes16>(to + count - 16, from + count - 16);
        } else if (count >= 8) {
            CopyPiece<std::uint64_t>(to, from);
            CopyPiece<std::uint64_t>(to + count - 8, from + count - 8);
        } else if (count >= 4) {
            CopyPiece<std::uint32_t>(to, from);
            CopyPiece<std::uint32_t>(to + count - 4, from + count - 4);
        } else if (count > 0) {
            to[0] = from[0];
            to[count / 2] = from[count / 2];
            to[count - 1] = from[count - 1];
        }
    }

    ORVALIS_ALWAYS_INLINE void Reserve(size_t more)
    {
        if (more > m_capacity - m_size)
            Grow(more);
    }
    // Past the capacity asked for: only ever by about a line.
    void Grow(size_t more)
    {
        const size_t capacity = std::max(m_capacity * 2, m_size + more);
        auto bytes = std::make_unique<char[]>(capacity);
        std::memcpy(bytes.get(), m_bytes.get(), m_size);
        m_bytes = std::move(bytes);
        m_capacity = capacity;
    }

    std::unique_ptr<char[]> m_bytes;
    size_t m_size = 0;
    size_t m_capacity;
};
