#include "framework/CodePage.h"

#include "framework/AnsiText.h"
#include "framework/Utf8.h"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <iconv.h>
#endif

namespace {

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

// With `part`, a character cut short at the end is left out of `used`.
std::size_t AppendCheckedUtf8(std::string_view text, std::string& out, bool part, std::size_t& used)
{
    std::size_t replaced = 0;
    used = text.size();
    for (std::string_view rest = text; !rest.empty();) {
        std::size_t valid = 0, length = 0, bad = 0;
        bool cut = false;
        while (valid < rest.size() && (length = Utf8Length(rest.substr(valid), bad, cut)) != 0)
            valid += length;
        out.append(rest.substr(0, valid));
        rest.remove_prefix(valid);
        if (rest.empty())
            break;
        if (part && cut) {
            used = text.size() - rest.size();
            break;
        }
        out.append(kReplacementCharacter);
        ++replaced;
        rest.remove_prefix(bad);
    }
    return replaced;
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
    static constexpr auto kCannotConvert = AnsiFormat<unsigned>("La página de códigos %u no se puede convertir a UTF-8.");
    CString message;
    message.Format(kCannotConvert, m_codePage);
    return message;
}

struct CodePageConverter::SingleByte {
    char Utf8[256][4];              // at most three bytes, then anything
    std::uint8_t Length[256];
    std::uint8_t Unmapped[256];     // 1 where the page does not define the byte
    bool KeepsAscii = false;        // bytes below 0x80 are their own form

    // Each byte's form is copied in four bytes and the end moved by its
    // length, so that no byte takes a branch.
    std::size_t Append(std::string_view text, std::string& out) const
    {
        const std::size_t start = out.size();
        out.resize(start + 3 * text.size() + 1);   // the last byte's four-byte copy
        char* to = out.data() + start;
        std::size_t unmapped = 0;
        const auto one = [&](char c) {
            const auto b = static_cast<unsigned char>(c);
            std::memcpy(to, Utf8[b], 4);
            to += Length[b];
            unmapped += Unmapped[b];
        };
        std::size_t at = 0;
        if (KeepsAscii) {
            // Eight bytes at a time while they are ASCII, as most are.
            for (; at + 8 <= text.size(); at += 8) {
                std::uint64_t word;
                std::memcpy(&word, text.data() + at, 8);
                if (word & 0x8080808080808080u) {
                    for (std::size_t i = 0; i < 8; ++i)
                        one(text[at + i]);
                } else {
                    std::memcpy(to, &word, 8);
                    to += 8;
                }
            }
        }
        for (; at < text.size(); ++at)
            one(text[at]);
        out.resize(static_cast<std::size_t>(to - out.data()));
        return unmapped;
    }
};

bool CodePageConverter::KeepsAscii() const
{
    return !m_system || (m_singleByte && m_singleByte->KeepsAscii);
}

size_t CodePageConverter::AppendUtf8(std::string_view text, std::string& out) const
{
    size_t used = 0;
    if (m_singleByte)
        return m_singleByte->Append(text, out);
    if (!m_system)
        return AppendCheckedUtf8(text, out, false, used);
    return AppendSystem(text, out, false, used);
}

size_t CodePageConverter::AppendUtf8Part(std::string_view text, std::string& out, size_t& used) const
{
    if (m_singleByte) {
        used = text.size();
        return m_singleByte->Append(text, out);
    }
    if (!m_system)
        return AppendCheckedUtf8(text, out, true, used);
    return AppendSystem(text, out, true, used);
}

void CodePageConverter::BuildSingleByteTable()
{
    auto table = std::make_unique<SingleByte>();
    for (unsigned b = 0; b < 256; ++b) {
        std::string utf8;
        bool unmapped = false;
        if (!ByteForm(static_cast<char>(b), utf8, unmapped) || utf8.size() > 3)
            return;
        std::memcpy(table->Utf8[b], utf8.data(), utf8.size());
        table->Length[b] = static_cast<std::uint8_t>(utf8.size());
        table->Unmapped[b] = unmapped;
    }
    table->KeepsAscii = true;
    for (unsigned b = 0; b < 256; ++b)
        table->KeepsAscii = table->KeepsAscii &&
            (b < 0x80 ? table->Length[b] == 1 && table->Utf8[b][0] == static_cast<char>(b) : table->Length[b] > 1);
    m_singleByte = std::move(table);
}

#ifdef _WIN32

// UTF-16 scratch space between the code page and UTF-8, kept between calls.
struct CodePageConverter::System {
    explicit System(unsigned codePage)
    {
        CPINFO info;
        maxCharSize = ::GetCPInfo(codePage, &info) ? info.MaxCharSize : 1;
    }
    std::wstring wide;
    unsigned maxCharSize;
};

CodePageConverter::CodePageConverter(unsigned codePage) : m_codePage(codePage)
{
    if (!IsSupported(codePage))
        throw CCodePageException(codePage);
    if (codePage == kCodePageUtf8)
        return;
    m_system = std::make_unique<System>(codePage);
    BuildSingleByteTable();
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

namespace {

// Appends UTF-16 units as UTF-8.
void AppendWide(const wchar_t* wide, int units, std::string& out)
{
    // A UTF-16 unit takes at most three UTF-8 bytes.
    const std::size_t used = out.size();
    out.resize(used + 3 * static_cast<std::size_t>(units));
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, units, out.data() + used, 3 * units,
                                          nullptr, nullptr);
    out.resize(used + static_cast<std::size_t>(bytes > 0 ? bytes : 0));
}

} // namespace

bool CodePageConverter::ByteForm(char one, std::string& utf8, bool& unmapped) const
{
    if (m_system->maxCharSize != 1)
        return false;
    wchar_t wide[2];
    const int units = MultiByteToWideChar(m_codePage, MB_ERR_INVALID_CHARS, &one, 1, wide, 2);
    unmapped = units <= 0;
    if (unmapped)
        utf8 = kReplacementCharacter;
    else
        AppendWide(wide, units, utf8);
    return true;
}

size_t CodePageConverter::AppendSystem(std::string_view text, std::string& out, bool part, size_t& used) const
{
    // Where a double-byte page's piece ends on a lead byte, that byte waits
    // for its trail byte in the next piece.
    const bool doubleByte = m_system->maxCharSize == 2;
    const auto isLead = [&](std::size_t at) {
        return doubleByte && IsDBCSLeadByteEx(m_codePage, static_cast<BYTE>(text[at])) != 0;
    };
    used = text.size();
    if (part && doubleByte) {
        std::size_t at = 0;
        while (at < text.size())
            at += isLead(at) ? 2 : 1;
        if (at > text.size())
            used = text.size() - 1;
    }
    text = text.substr(0, used);
    if (text.empty())
        return 0;   // the Win32 functions take an empty text for an error
    if (text.size() > INT_MAX / 6)
        throw std::length_error("CodePageConverter::AppendUtf8");
    // No page gives more than two UTF-16 units (a surrogate pair) per byte.
    std::wstring& wide = m_system->wide;
    if (wide.size() < 2 * text.size())
        wide.resize(2 * text.size());
    const auto convert = [&](std::string_view bytes, DWORD flags) {
        return MultiByteToWideChar(m_codePage, flags, bytes.data(), static_cast<int>(bytes.size()), wide.data(),
                                   static_cast<int>(wide.size()));
    };
    int units = convert(text, MB_ERR_INVALID_CHARS);
    if (units <= 0 && GetLastError() == ERROR_INVALID_FLAGS)
        units = convert(text, 0);   // a page that checks nothing
    if (units > 0) {
        AppendWide(wide.data(), units, out);
        return 0;
    }
    // Some character is not defined: one character at a time, so that each
    // undefined one becomes U+FFFD and is counted.
    std::size_t replaced = 0;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = isLead(at) && at + 1 < text.size() ? 2 : 1;
        const int one = convert(text.substr(at, length), MB_ERR_INVALID_CHARS);
        if (one > 0) {
            AppendWide(wide.data(), one, out);
        } else {
            out.append(kReplacementCharacter);
            ++replaced;
        }
        at += length;
    }
    return replaced;
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
const std::size_t kIconvError = static_cast<std::size_t>(-1);

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
    BuildSingleByteTable();
}

bool CodePageConverter::IsSupported(unsigned codePage)
{
    return codePage == kCodePageUtf8 || Iconv(codePage).IsOpen();
}

bool CodePageConverter::ByteForm(char one, std::string& utf8, bool& unmapped) const
{
    const iconv_t cd = m_system->iconv.Get();
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* from = &one;
    std::size_t inLeft = 1;
    char form[16];
    char* to = form;
    std::size_t outLeft = sizeof form;
    unmapped = iconv(cd, &from, &inLeft, &to, &outLeft) == kIconvError;
    if (unmapped && errno != EILSEQ)
        return false;   // a lead byte: a multibyte page
    // A page whose converter holds a letter back (CP1258 composes it with an
    // accent that may follow) keeps its own conversion.
    if (!unmapped && to == form)
        return false;
    const char* const converted = to;
    iconv(cd, nullptr, nullptr, &to, &outLeft);
    if (to != converted)
        return false;
    utf8 = unmapped ? std::string(kReplacementCharacter) : std::string(form, static_cast<std::size_t>(to - form));
    return true;
}

size_t CodePageConverter::AppendSystem(std::string_view text, std::string& out, bool part, size_t& used) const
{
    const iconv_t cd = m_system->iconv.Get();
    iconv(cd, nullptr, nullptr, nullptr, nullptr);   // every text starts in the initial shift state
    char* in = const_cast<char*>(text.data());      // iconv's signature; it only reads there
    std::size_t inLeft = text.size();
    std::size_t done = out.size();
    std::size_t replaced = 0;
    // Three UTF-8 bytes per byte are enough for the pages in use; E2BIG grows it otherwise.
    out.resize(done + 3 * inLeft + 2 * kReplacementCharacter.size());
    const auto room = [&]() { return out.size() - done; };
    while (inLeft > 0) {
        char* dest = out.data() + done;
        std::size_t destLeft = room();
        const std::size_t result = iconv(cd, &in, &inLeft, &dest, &destLeft);
        done = out.size() - destLeft;
        if (result != kIconvError)
            break;
        const int error = errno;
        if (error == E2BIG || room() < kReplacementCharacter.size()) {
            out.resize(2 * out.size());
            continue;
        }
        if (error == EINVAL && part)
            break;   // a character cut short: the next piece completes it
        out.replace(done, kReplacementCharacter.size(), kReplacementCharacter);
        done += kReplacementCharacter.size();
        ++replaced;
        if (error == EINVAL) {   // a sequence cut short by the end of the text
            inLeft = 0;
            break;
        }
        ++in;   // EILSEQ: a byte the page does not define
        --inLeft;
    }
    // A converter may hold the last character back until told the text has
    // ended (CP1258 does, in case an accent follows it).
    for (;;) {
        char* dest = out.data() + done;
        std::size_t destLeft = room();
        const bool full = iconv(cd, nullptr, nullptr, &dest, &destLeft) == kIconvError && errno == E2BIG;
        done = out.size() - destLeft;
        if (!full)
            break;
        out.resize(2 * out.size());
    }
    out.resize(done);
    used = text.size() - inLeft;
    return replaced;
}

#endif

CodePageConverter::~CodePageConverter() = default;
CodePageConverter::CodePageConverter(CodePageConverter&&) noexcept = default;
CodePageConverter& CodePageConverter::operator=(CodePageConverter&&) noexcept = default;
