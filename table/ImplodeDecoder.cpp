#include "table/ImplodeDecoder.h"

#include "framework/AnsiText.h"
#include "framework/ByteSearch.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

namespace {

constexpr size_t kWindow = 4096;      // the largest dictionary: no copy reaches further back
constexpr unsigned kLongestCopy = 518;
constexpr unsigned kEndCode = 519;    // a length that ends the stream
constexpr size_t kCopySlack = 16;     // copies write two words at least, up to 15 bytes past their end
constexpr size_t kInputBytes = 64 * 1024;
constexpr size_t kZeros = 16;         // after the file's end, so that a word can always be loaded
constexpr unsigned kLongestCode = 13;

// The code lengths of each symbol. The codes are canonical: shorter codes
// first, and symbols of one length in order, each code stored with its bits
// inverted, its first bit first.
constexpr std::uint8_t kLiteralLengths[256] = {
    11, 12, 12, 12, 12, 12, 12, 12, 12, 8,  7,  12, 12, 7,  12, 12,
    12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 13, 12, 12, 12, 12, 12,
    4,  10, 8,  12, 10, 12, 10, 8,  7,  7,  8,  9,  7,  6,  7,  8,
    7,  6,  7,  7,  7,  7,  8,  7,  7,  8,  8,  12, 11, 7,  9,  11,
    12, 6,  7,  6,  6,  5,  7,  8,  8,  6,  11, 9,  6,  7,  6,  6,
    7,  11, 6,  6,  6,  7,  9,  8,  9,  9,  11, 8,  11, 9,  12, 8,
    12, 5,  6,  6,  6,  5,  6,  6,  6,  5,  11, 7,  5,  6,  5,  5,
    6,  10, 5,  5,  5,  5,  8,  7,  8,  8,  10, 11, 11, 12, 12, 12,
    13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13,
    13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13,
    13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13,
    12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12,
    12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12,
    12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12,
    13, 12, 13, 13, 13, 12, 13, 13, 13, 12, 13, 13, 13, 13, 12, 13,
    13, 13, 12, 12, 12, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13,
};
constexpr std::uint8_t kLengthLengths[16] = { 2, 3, 3, 3, 4, 4, 4, 5, 5, 5, 5, 6, 6, 6, 7, 7 };
constexpr std::uint8_t kDistanceLengths[64] = {
    2, 4, 4, 5, 5, 5, 5, 6, 6, 6, 6, 6, 6, 6, 6, 6,
    6, 6, 6, 6, 6, 6, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7,
    7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7,
    8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8,
};
// Each length symbol's copy length, before the extra bits that follow it.
constexpr std::uint16_t kLengthBase[16] = { 3, 2, 4, 5, 6, 7, 8, 9, 10, 12, 16, 24, 40, 72, 136, 264 };
constexpr std::uint8_t kLengthExtra[16] = { 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8 };

// Every pattern of the longest code's bits starts with exactly one code: no
// bits can be a code that is not in the tables.
template <size_t N>
constexpr bool IsComplete(const std::uint8_t (&lengths)[N])
{
    std::uint32_t sum = 0;
    for (const std::uint8_t length : lengths)
        sum += 1u << (kLongestCode - length);
    return sum == 1u << kLongestCode;
}
static_assert(IsComplete(kLiteralLengths) && IsComplete(kLengthLengths) && IsComplete(kDistanceLengths));

struct Code {
    std::uint8_t Symbol;
    std::uint8_t Bits;
};

// A table of every pattern of IndexBits stream bits (the first in the lowest
// bit): the symbol whose code they begin with, and its length. One look-up
// decodes a code, however long.
template <unsigned IndexBits, size_t N>
constexpr std::array<Code, size_t{ 1 } << IndexBits> LookupTable(const std::uint8_t (&lengths)[N])
{
    unsigned count[kLongestCode + 1] = {};
    for (const std::uint8_t length : lengths)
        ++count[length];
    unsigned next[kLongestCode + 1] = {};
    for (unsigned bits = 1, code = 0; bits <= kLongestCode; ++bits) {
        code = (code + count[bits - 1]) << 1;
        next[bits] = code;
    }
    std::array<Code, size_t{ 1 } << IndexBits> table{};
    for (size_t symbol = 0; symbol < N; ++symbol) {
        const unsigned length = lengths[symbol];
        const unsigned code = next[length]++;
        unsigned stored = 0; // the inverted code, its first bit lowest
        for (unsigned i = 0; i < length; ++i)
            stored |= (~code >> (length - 1 - i) & 1u) << i;
        for (size_t pattern = stored; pattern < table.size(); pattern += size_t{ 1 } << length)
            table[pattern] = { static_cast<std::uint8_t>(symbol), static_cast<std::uint8_t>(length) };
    }
    return table;
}

constexpr auto kLiterals = LookupTable<13>(kLiteralLengths);
constexpr auto kLengths = LookupTable<7>(kLengthLengths);
constexpr auto kDistances = LookupTable<8>(kDistanceLengths);

// What the next 9 bits begin: the flag bit and a plain literal, or a copy
// whose length (code and extra bits) lies within them, as most do; or else
// only where to look further. One look-up for most codes of a stream.
enum class Kind : std::uint8_t { Copy, LongCopy, Literal, CodedLiteral };
struct Token {
    std::uint16_t Value; // the literal, the length, or a long copy's length symbol
    std::uint8_t Bits;   // that many bits decided
    Kind What;
};
constexpr unsigned kTokenBits = 9;

constexpr std::array<Token, 1u << kTokenBits> TokenTable(bool codedLiterals)
{
    std::array<Token, 1u << kTokenBits> table{};
    for (unsigned pattern = 0; pattern < table.size(); ++pattern) {
        if ((pattern & 1) == 0) {
            table[pattern] = codedLiterals ? Token{ 0, 1, Kind::CodedLiteral }
                                           : Token{ static_cast<std::uint16_t>(pattern >> 1), 9, Kind::Literal };
            continue;
        }
        const Code code = kLengths[pattern >> 1 & 0x7F];
        const unsigned bits = 1u + code.Bits + kLengthExtra[code.Symbol];
        if (bits <= kTokenBits) {
            const unsigned extra = pattern >> (1u + code.Bits) & ((1u << kLengthExtra[code.Symbol]) - 1);
            table[pattern] = { static_cast<std::uint16_t>(kLengthBase[code.Symbol] + extra),
                               static_cast<std::uint8_t>(bits), Kind::Copy };
        } else {
            table[pattern] = { code.Symbol, static_cast<std::uint8_t>(1u + code.Bits), Kind::LongCopy };
        }
    }
    return table;
}

constexpr auto kPlainTokens = TokenTable(false);
constexpr auto kCodedTokens = TokenTable(true);

} // namespace

void ThrowDamagedFile(const CString& path, const char* what)
{
    std::string message = ANSI_TEXT("El archivo %s está dañado: ");
    message += what;
    message += '.';
    throw CFileException(CFileException::invalidFile, path, 0, message.c_str());
}

ImplodeDecoder::ImplodeDecoder(CFile& file, const CString& path)
    : m_file(file), m_path(path), m_offset(0),
      m_input(std::make_unique<unsigned char[]>(kInputBytes + kZeros)),
      m_output(std::make_unique<char[]>(kWindow + kPieceBytes + kLongestCopy + kCopySlack))
{
    m_in = m_real = m_end = m_input.get();
    m_position = kWindow;
}

ImplodeDecoder::ImplodeDecoder(CFile& file, std::uint64_t offset, const CString& path)
    : ImplodeDecoder(file, path)
{
    m_offset = offset;
    Start();
}

ImplodeDecoder::ImplodeDecoder(CFile& file, const State& state, const CString& path)
    : ImplodeDecoder(file, path)
{
    m_codedLiterals = state.CodedLiterals;
    m_dictionaryBits = state.DictionaryBits;
    const size_t window = std::min(state.Window.size(), kWindow);
    state.Window.copy(m_output.get() + kWindow - window, window, state.Window.size() - window);
    m_history = window;
    m_offset = state.Bit / 8;
    Reload(); // at least 8 bytes at m_in, zeros after the file's end
    const unsigned skip = state.Bit % 8;
    m_bits = LoadWord(reinterpret_cast<const char*>(m_in)) >> skip;
    m_in += 7;
    m_count = 56 - skip;
}

ImplodeDecoder::State ImplodeDecoder::Save() const
{
    State state;
    // m_offset is the file offset of m_real; m_in may lie in the zeros after it.
    const auto byte = static_cast<std::uint64_t>(static_cast<std::int64_t>(m_offset) + (m_in - m_real));
    state.Bit = byte * 8 - m_count;
    // A copy reaches back at most the dictionary's size.
    const size_t held = m_position - kWindow + m_history;
    const size_t window = std::min(held, size_t{ 64 } << m_dictionaryBits);
    state.Window.assign(m_output.get() + m_position - window, window);
    state.CodedLiterals = m_codedLiterals;
    state.DictionaryBits = static_cast<std::uint8_t>(m_dictionaryBits);
    return state;
}

void ImplodeDecoder::ThrowDamaged(const char* what) const
{
    ThrowDamagedFile(m_path, what);
}

void ImplodeDecoder::Reload()
{
    unsigned char* const input = m_input.get();
    const size_t rest = static_cast<size_t>(m_end - m_in);
    std::memmove(input, m_in, rest);
    m_in = input;
    m_end = input + rest;
    const unsigned got = m_file.ReadAt(m_offset, input + rest, static_cast<unsigned>(kInputBytes - rest));
    m_offset += got;
    m_real = m_end += got;
    if (m_end - m_in < 8) {
        std::fill_n(input + rest + got, kZeros, 0);
        m_end += kZeros;
        m_fileEnded = true;
    }
}

void ImplodeDecoder::Start()
{
    Reload();
    if (m_real - m_in < 2)
        ThrowDamaged(ANSI_TEXT("su compresión termina antes de su código final"));
    const unsigned char mode = m_in[0], dictionary = m_in[1];
    m_in += 2;
    if (mode > 1)
        ThrowDamaged("su modo de literales no es 0 ni 1");
    if (dictionary < 4 || dictionary > 6)
        ThrowDamaged(ANSI_TEXT("su tamaño de diccionario no es 4, 5 ni 6"));
    m_codedLiterals = mode == 1;
    m_dictionaryBits = dictionary;
}

std::string_view ImplodeDecoder::Next()
{
    if (m_ended)
        return {};
    char* const output = m_output.get();
    // The window's worth of output moves to the front: copies reach back
    // into it.
    if (m_position > kWindow) {
        std::memmove(output, output + m_position - kWindow, kWindow);
        m_history = std::min(m_history + (m_position - kWindow), kWindow);
        m_position = kWindow;
    }
    const size_t start = m_position;
    Expand();
    return { output + start, m_position - start };
}

void ImplodeDecoder::Expand()
{
    // Locals, not members, in the loop: a store through the output could be a
    // store to any member, which would be loaded again after every byte.
    unsigned char* const output = reinterpret_cast<unsigned char*>(m_output.get());
    unsigned char* to = output + m_position;
    const unsigned char* const full = output + kWindow + kPieceBytes;
    const unsigned char* const first = output + kWindow - m_history; // the stream's first byte, or before it
    const unsigned char* in = m_in;
    std::uint64_t bits = m_bits;
    unsigned count = m_count;
    const Token* const tokens = m_codedLiterals ? kCodedTokens.data() : kPlainTokens.data();
    const unsigned dictionaryBits = m_dictionaryBits;
    const auto take = [&](unsigned n) {
        bits >>= n;
        count -= n;
    };

    while (to < full) {
        if (m_end - in < 8) {
            m_in = in;
            Reload();
            in = m_in;
        }
        // At least 56 bits: a code takes at most 30.
        bits |= LoadWord(reinterpret_cast<const char*>(in)) << count;
        in += (63 - count) >> 3;
        count |= 56;

        const Token token = tokens[bits & ((1u << kTokenBits) - 1)];
        take(token.Bits);
        unsigned length = token.Value, distance = 0;
        if (token.What >= Kind::Literal) {
            if (token.What == Kind::CodedLiteral) {
                const Code code = kLiterals[bits & 0x1FFF];
                length = code.Symbol;
                take(code.Bits);
            }
            *to = static_cast<unsigned char>(length);
            ++to;
            length = 0;
        } else {
            if (token.What == Kind::LongCopy) {
                const unsigned extra = kLengthExtra[length];
                length = kLengthBase[length] + static_cast<unsigned>(bits & ((1u << extra) - 1));
                take(extra);
            }
            if (length != kEndCode) {
                const Code distanceCode = kDistances[bits & 0xFF];
                take(distanceCode.Bits);
                const unsigned low = length == 2 ? 2 : dictionaryBits;
                distance = (static_cast<unsigned>(distanceCode.Symbol) << low |
                            static_cast<unsigned>(bits & ((1u << low) - 1))) + 1;
                take(low);
            }
        }
        // Bits past the file's end are the zeros after it.
        if (m_fileEnded && in > m_real && static_cast<size_t>(in - m_real) * 8 > count)
            ThrowDamaged(ANSI_TEXT("su compresión termina antes de su código final"));
        if (length == kEndCode) {
            m_ended = true;
            break;
        }
        if (length == 0)
            continue;
        if (distance > static_cast<size_t>(to - first))
            ThrowDamaged("una copia desde antes del comienzo de sus datos");
        const unsigned char* from = to - distance;
        if (distance >= 8) {
            // Whole words, each reading only bytes written before it; two
            // at least, which is most copies' whole length.
            std::memcpy(to, from, 8);
            std::memcpy(to + 8, from + 8, 8);
            for (unsigned done = 16; done < length; done += 8)
                std::memcpy(to + done, from + done, 8);
        } else if (distance == 1) {
            std::memset(to, *from, length);
        } else {
            for (unsigned done = 0; done < length; ++done)
                to[done] = from[done];
        }
        to += length;
    }
    m_in = in;
    m_bits = bits;
    m_count = count;
    m_position = static_cast<size_t>(to - output);
}
