#pragma once

// Readable messages in the programs' narrow code page: a UTF-8 string literal
// turned into its Windows-1252 bytes while compiling.
//
// Classes: AnsiText (a converted text), AnsiFormatText (a converted printf
// format whose conversions were checked against its argument types).
//
//     inline constexpr auto kNoFields = Ansi("La tabla no tiene campos…");
//     inline constexpr auto kNoRecord = AnsiFormat<const char*, unsigned>("No hay ningún registro %s de %u.");
//     message.Format(kNoRecord, typed, count);
//
// A character Windows-1252 cannot hold, ill-formed UTF-8, or a format whose
// conversions do not fit its argument types is a compile error: the
// conversion throws, and a throw cannot be evaluated while compiling. So the
// constants must be constexpr (or written with ANSI_TEXT below).

#include <cstddef>
#include <stdexcept>
#include <string_view>
#include <type_traits>

namespace ansi_text {

// The characters of Windows-1252's bytes 0x80 to 0x9F; 0 where the page
// leaves the byte undefined. Every other byte is the character of its number.
inline constexpr char32_t kWindows1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

constexpr char Windows1252Byte(char32_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<char>(c);
    for (unsigned i = 0; i < 32; ++i) {
        if (kWindows1252High[i] == c && c != 0)
            return static_cast<char>(0x80 + i);
    }
    throw std::invalid_argument("a message holds a character Windows-1252 cannot hold");
}

// Decodes the character at utf8[at] and moves `at` past it.
constexpr char32_t NextCharacter(const char* utf8, std::size_t& at)
{
    const auto lead = static_cast<unsigned char>(utf8[at++]);
    if (lead < 0x80)
        return lead;
    const std::size_t more = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC2 ? 1 : 0;
    if (more == 0 || lead > 0xF4)
        throw std::invalid_argument("a message is not well-formed UTF-8");
    char32_t c = lead & (0x3F >> more);
    for (std::size_t i = 0; i < more; ++i) {
        const auto next = static_cast<unsigned char>(utf8[at++]);
        if ((next & 0xC0) != 0x80)
            throw std::invalid_argument("a message is not well-formed UTF-8");
        c = (c << 6) | (next & 0x3F);
    }
    return c;
}

// The kinds of printf argument a format may ask for.
enum class Argument { Text, Int, Unsigned, Long, UnsignedLong, LongLong, UnsignedLongLong, Size, Double };

template <class T>
constexpr Argument KindOf()
{
    using std::is_same_v;
    if constexpr (is_same_v<T, const char*> || is_same_v<T, char*>)
        return Argument::Text;
    else if constexpr (is_same_v<T, int>)
        return Argument::Int;
    else if constexpr (is_same_v<T, unsigned>)
        return Argument::Unsigned;
    else if constexpr (is_same_v<T, long>)
        return Argument::Long;
    else if constexpr (is_same_v<T, unsigned long>)
        return Argument::UnsignedLong;
    else if constexpr (is_same_v<T, long long>)
        return Argument::LongLong;
    else if constexpr (is_same_v<T, unsigned long long>)
        return Argument::UnsignedLongLong;
    else if constexpr (is_same_v<T, double>)
        return Argument::Double;
    else
        static_assert(is_same_v<T, double>, "a format argument must be a text, a whole number or a double");
}

// The argument kind of the conversion at format[at], past its '%'; moves
// `at` past it.
constexpr Argument NextConversion(std::string_view format, std::size_t& at)
{
    while (at < format.size() && std::string_view("-+ #0").find(format[at]) != std::string_view::npos)
        ++at;
    while (at < format.size() && ((format[at] >= '0' && format[at] <= '9') || format[at] == '.'))
        ++at;
    std::string_view length;
    const std::size_t lengthStart = at;
    while (at < format.size() && (format[at] == 'l' || format[at] == 'z'))
        ++at;
    length = format.substr(lengthStart, at - lengthStart);
    if (at == format.size())
        throw std::invalid_argument("a format ends inside a conversion");
    const char conversion = format[at++];
    const bool whole = conversion == 'd' || conversion == 'i';
    const bool natural = conversion == 'u' || conversion == 'x' || conversion == 'X';
    if (conversion == 's' && length.empty())
        return Argument::Text;
    if (conversion == 'c' && length.empty())
        return Argument::Int;
    if ((conversion == 'f' || conversion == 'g' || conversion == 'e') && length.empty())
        return Argument::Double;
    if (whole || natural) {
        if (length.empty())
            return whole ? Argument::Int : Argument::Unsigned;
        if (length == "l")
            return whole ? Argument::Long : Argument::UnsignedLong;
        if (length == "ll")
            return whole ? Argument::LongLong : Argument::UnsignedLongLong;
        if (length == "z" && natural)
            return Argument::Size;
    }
    throw std::invalid_argument("a format holds a conversion this check does not know");
}

constexpr bool Fits(Argument wanted, Argument given)
{
    // size_t is one of the unsigned types, which one depends on the platform.
    return wanted == Argument::Size ? given == KindOf<std::size_t>() : wanted == given;
}

template <class... Args>
constexpr void CheckFormat(std::string_view format)
{
    constexpr Argument given[] = { KindOf<Args>()..., Argument::Text };
    std::size_t used = 0;
    for (std::size_t at = 0; at < format.size();) {
        if (format[at++] != '%')
            continue;
        if (at < format.size() && format[at] == '%') {
            ++at;
            continue;
        }
        const Argument wanted = NextConversion(format, at);
        if (used == sizeof...(Args) || !Fits(wanted, given[used]))
            throw std::invalid_argument("a format's conversions do not fit its argument types");
        ++used;
    }
    if (used != sizeof...(Args))
        throw std::invalid_argument("a format has fewer conversions than argument types");
}

} // namespace ansi_text

// The Windows-1252 bytes of a UTF-8 literal of N bytes (its NUL included): the
// converted text is never longer, and NULs fill the rest.
template <std::size_t N>
class AnsiText {
public:
    constexpr explicit AnsiText(const char (&utf8)[N])
    {
        for (std::size_t at = 0; at + 1 < N;)
            m_bytes[m_size++] = ansi_text::Windows1252Byte(ansi_text::NextCharacter(utf8, at));
    }

    constexpr const char* c_str() const { return m_bytes; }
    constexpr operator const char*() const { return m_bytes; }
    constexpr std::string_view View() const { return std::string_view(m_bytes, m_size); }

private:
    char m_bytes[N] {};
    std::size_t m_size = 0;
};

template <std::size_t N>
constexpr AnsiText<N> Ansi(const char (&utf8)[N])
{
    return AnsiText<N>(utf8);
}

// A printf format in Windows-1252 for arguments of the types Args. It does not
// convert to const char*: CString::Format takes it and its arguments, which
// the compiler checks against Args, since it cannot read the format itself.
template <std::size_t N, class... Args>
class AnsiFormatText {
public:
    constexpr explicit AnsiFormatText(const char (&utf8)[N]) : m_text(utf8)
    {
        ansi_text::CheckFormat<Args...>(m_text.View());
    }

    constexpr const char* c_str() const { return m_text.c_str(); }

private:
    AnsiText<N> m_text;
};

template <class... Args, std::size_t N>
constexpr AnsiFormatText<N, Args...> AnsiFormat(const char (&utf8)[N])
{
    return AnsiFormatText<N, Args...>(utf8);
}

// A literal's Windows-1252 bytes where a named constant would be in the way,
// as in a message raised with an exception: a const char* to bytes converted
// while compiling, which live as long as the program.
//
//     throw CFileException(CFileException::invalidFile, path, 0, ANSI_TEXT("El índice %s está dañado."));
#define ANSI_TEXT(utf8) \
    ([]() -> const char* { static constexpr auto ansiText = Ansi(utf8); return ansiText.c_str(); }())

// Every character of Windows-1252's upper half comes out as its byte.
static_assert(Ansi("€‚ƒ„…†‡ˆ‰Š‹ŒŽ‘’“”•–—˜™š›œžŸ"
                   "\u00A0¡¢£¤¥¦§¨©ª«¬\u00AD®¯°±²³´µ¶·¸¹º»¼½¾¿ÀÁÂÃÄÅÆÇÈÉÊËÌÍÎÏ"
                   "ÐÑÒÓÔÕÖ×ØÙÚÛÜÝÞßàáâãäåæçèéêëìíîïðñòóôõö÷øùúûüýþÿ").View()
              == "\x80\x82\x83\x84\x85\x86\x87\x88\x89\x8A\x8B\x8C\x8E\x91\x92\x93\x94\x95\x96\x97"
                 "\x98\x99\x9A\x9B\x9C\x9E\x9F"
                 "\xA0\xA1\xA2\xA3\xA4\xA5\xA6\xA7\xA8\xA9\xAA\xAB\xAC\xAD\xAE\xAF"
                 "\xB0\xB1\xB2\xB3\xB4\xB5\xB6\xB7\xB8\xB9\xBA\xBB\xBC\xBD\xBE\xBF"
                 "\xC0\xC1\xC2\xC3\xC4\xC5\xC6\xC7\xC8\xC9\xCA\xCB\xCC\xCD\xCE\xCF"
                 "\xD0\xD1\xD2\xD3\xD4\xD5\xD6\xD7\xD8\xD9\xDA\xDB\xDC\xDD\xDE\xDF"
                 "\xE0\xE1\xE2\xE3\xE4\xE5\xE6\xE7\xE8\xE9\xEA\xEB\xEC\xED\xEE\xEF"
                 "\xF0\xF1\xF2\xF3\xF4\xF5\xF6\xF7\xF8\xF9\xFA\xFB\xFC\xFD\xFE\xFF");
