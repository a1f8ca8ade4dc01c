#include "framework/CodePage.h"

#include <climits>
#include <cstddef>
#include <stdexcept>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <iconv.h>
#endif

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";   // U+FFFD
constexpr unsigned kCodePageAscii = 20127;
constexpr unsigned kCodePageIso8859 = 28590;   // + n for ISO 8859-n

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool Consume(std::string_view& s, std::string_view prefix)
{
    if (s.substr(0, prefix.size()) != prefix)
        return false;
    s.remove_prefix(prefix.size());
    return true;
}

// "cp 1252", "cp-1252" and "cp1252" all name the same page.
void SkipSeparator(std::string_view& s)
{
    if (!s.empty() && (s[0] == ' ' || s[0] == '-' || s[0] == '_'))
        s.remove_prefix(1);
}

// A whole number of at most five digits, 0 otherwise.
unsigned Number(std::string_view s)
{
    if (s.empty() || s.size() > 5)
        return 0;
    unsigned n = 0;
    for (const char c : s) {
        if (c < '0' || c > '9')
            return 0;
        n = n * 10 + static_cast<unsigned>(c - '0');
    }
    return n;
}

unsigned ParseName(std::string_view s)
{
    if (s == "utf-8" || s == "utf8")
        return kCodePageUtf8;
    if (s == "ascii" || s == "us-ascii")
        return kCodePageAscii;
    const bool iso = Consume(s, "iso");
    if (iso)
        SkipSeparator(s);
    if (Consume(s, "8859")) {
        SkipSeparator(s);
        const unsigned part = Number(s);
        return part >= 1 && part <= 16 ? kCodePageIso8859 + part : 0;
    }
    if (iso)
        return 0;
    for (const std::string_view prefix : { "windows", "ansi", "oem", "ibm", "cp" }) {
        if (Consume(s, prefix)) {
            SkipSeparator(s);
            break;
        }
    }
    return Number(s);
}

// Length of the well-formed UTF-8 character that text starts with, or 0 when
// it is ill-formed; then `bad` counts the bytes that one U+FFFD replaces (the
// longest start of a well-formed character, as Unicode recommends).
std::size_t Utf8Length(std::string_view text, std::size_t& bad)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80)
        return 1;
    // The second byte's range keeps out overlongs, surrogates and code points
    // past U+10FFFF.
    std::size_t length;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        bad = 1;
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i, low = 0x80, high = 0xBF) {
        if (i >= text.size() || byte(i) < low || byte(i) > high) {
            bad = i;
            return 0;
        }
    }
    return length;
}

void AppendCheckedUtf8(std::string_view text, std::string& out)
{
    while (!text.empty()) {
        std::size_t valid = 0, length = 0, bad = 0;
        while (valid < text.size() && (length = Utf8Length(text.substr(valid), bad)) != 0)
            valid += length;
        out.append(text.substr(0, valid));
        text.remove_prefix(valid);
        if (!text.empty()) {
            out.append(kReplacement);
            text.remove_prefix(bad);
        }
    }
}

} // namespace

unsigned CodePageFromName(std::string_view name)
{
    while (!name.empty() && IsBlank(name.front()))
        name.remove_prefix(1);
    name = name.substr(0, name.find_first_of("\r\n"));
    while (!name.empty() && IsBlank(name.back()))
        name.remove_suffix(1);
    if (name.size() > 32)   // longer than any name; keeps the copy small
        return 0;
    std::string lower(name);
    for (char& c : lower)
        c = Lower(c);
    const unsigned codePage = ParseName(lower);
    return codePage != 0 && CodePageConverter::IsSupported(codePage) ? codePage : 0;
}

CString CCodePageException::GetErrorMessage() const
{
    CString message;
    message.Format("La p\xE1gina de c\xF3" "digos %u no se puede convertir a UTF-8.", m_codePage);
    return message;
}

#ifdef _WIN32

// UTF-16 scratch space between the code page and UTF-8, kept between calls.
struct CodePageConverter::System {
    std::wstring wide;
};

CodePageConverter::CodePageConverter(unsigned codePage) : m_codePage(codePage)
{
    if (!IsSupported(codePage))
        throw CCodePageException(codePage);
    if (codePage != kCodePageUtf8)
        m_system = std::make_unique<System>();
}

bool CodePageConverter::IsSupported(unsigned codePage)
{
    // Below 4 are aliases of the system's pages (CP_ACP, CP_OEMCP...), not pages;
    // some valid pages (UTF-16) cannot be converted from bytes.
    wchar_t wide;
    return codePage == kCodePageUtf8 ||
           (codePage > CP_THREAD_ACP && IsValidCodePage(codePage) &&
            MultiByteToWideChar(codePage, 0, "a", 1, &wide, 1) == 1);
}

void CodePageConverter::AppendUtf8(std::string_view text, std::string& out) const
{
    if (!m_system) {
        AppendCheckedUtf8(text, out);
        return;
    }
    if (text.empty())
        return;   // the Win32 functions take an empty text for an error
    if (text.size() > INT_MAX / 6)
        throw std::length_error("CodePageConverter::AppendUtf8");
    const int length = static_cast<int>(text.size());
    // No page gives more than two UTF-16 units (a surrogate pair) per byte.
    std::wstring& wide = m_system->wide;
    if (wide.size() < 2 * text.size())
        wide.resize(2 * text.size());
    const int units = MultiByteToWideChar(m_codePage, 0, text.data(), length, wide.data(), 2 * length);
    if (units <= 0) {
        out.append(kReplacement);
        return;
    }
    // A UTF-16 unit takes at most three UTF-8 bytes.
    const std::size_t used = out.size();
    out.resize(used + 3 * static_cast<std::size_t>(units));
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, out.data() + used, 3 * units,
                                          nullptr, nullptr);
    out.resize(used + static_cast<std::size_t>(bytes > 0 ? bytes : 0));
}

#else

namespace {

std::string IconvName(unsigned codePage)
{
    if (codePage > kCodePageIso8859 && codePage <= kCodePageIso8859 + 16)
        return "ISO-8859-" + std::to_string(codePage - kCodePageIso8859);
    switch (codePage) {
    case kCodePageAscii: return "ASCII";
    case 20866:          return "KOI8-R";
    case 21866:          return "KOI8-U";
    case 54936:          return "GB18030";
    default:             return "CP" + std::to_string(codePage);   // glibc knows CP437, CP1252...
    }
}

const iconv_t kNoIconv = reinterpret_cast<iconv_t>(-1);

class Iconv {
public:
    explicit Iconv(unsigned codePage) : m_handle(iconv_open("UTF-8", IconvName(codePage).c_str())) {}
    ~Iconv()
    {
        if (IsOpen())
            iconv_close(m_handle);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    bool IsOpen() const { return m_handle != kNoIconv; }
    iconv_t Get() const { return m_handle; }

private:
    iconv_t m_handle;
};

} // namespace

struct CodePageConverter::System {
    explicit System(unsigned codePage) : iconv(codePage) {}
    Iconv iconv;
};

CodePageConverter::CodePageConverter(unsigned codePage) : m_codePage(codePage)
{
    if (codePage == kCodePageUtf8)
        return;
    m_system = std::make_unique<System>(codePage);
    if (!m_system->iconv.IsOpen())
        throw CCodePageException(codePage);
}

bool CodePageConverter::IsSupported(unsigned codePage)
{
    return codePage == kCodePageUtf8 || Iconv(codePage).IsOpen();
}

void CodePageConverter::AppendUtf8(std::string_view text, std::string& out) const
{
    if (!m_system) {
        AppendCheckedUtf8(text, out);
        return;
    }
    const iconv_t cd = m_system->iconv.Get();
    iconv(cd, nullptr, nullptr, nullptr, nullptr);   // every text starts in the initial shift state
    char* in = const_cast<char*>(text.data());      // iconv's signature; it only reads there
    std::size_t inLeft = text.size();
    std::size_t used = out.size();
    // Three UTF-8 bytes per byte are enough for the pages in use; E2BIG grows it otherwise.
    out.resize(used + 3 * inLeft + kReplacement.size());
    while (inLeft > 0) {
        char* dest = out.data() + used;
        std::size_t destLeft = out.size() - used;
        const std::size_t result = iconv(cd, &in, &inLeft, &dest, &destLeft);
        used = out.size() - destLeft;
        if (result != static_cast<std::size_t>(-1))
            break;
        const int error = errno;
        if (error == E2BIG || out.size() - used < kReplacement.size()) {
            out.resize(2 * out.size());
            continue;
        }
        out.replace(used, kReplacement.size(), kReplacement);
        used += kReplacement.size();
        if (error == EINVAL)   // a sequence cut short by the end of the text
            break;
        ++in;   // EILSEQ: a byte the page does not define
        --inLeft;
    }
    out.resize(used);
}

#endif

CodePageConverter::~CodePageConverter() = default;
CodePageConverter::CodePageConverter(CodePageConverter&&) noexcept = default;
CodePageConverter& CodePageConverter::operator=(CodePageConverter&&) noexcept = default;
