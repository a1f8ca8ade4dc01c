#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>
#include <string_view>
#include <type_traits>

#if defined(__MINGW32__)
#define ORVALIS_PRINTF(fmt, args) __attribute__((format(gnu_printf, fmt, args)))
#else
#define ORVALIS_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#endif

template <std::size_t N, class... Args> class AnsiFormatText;

// A counted single-byte string in the system's ANSI code page. It may hold
// NUL bytes anywhere; its length counts them. A NUL always follows the last
// byte, so the text can be handed to C and Win32 calls (which then stop at the
// first NUL).
class CString {
public:
    CString() = default;
    CString(const char* text);                 // NUL-terminated; null gives empty
    CString(const char* bytes, int length);    // exactly length bytes
    CString(char ch, int repeat);
    explicit CString(std::string_view bytes) : m_bytes(bytes) {}

    int GetLength() const { return static_cast<int>(m_bytes.size()); }
    bool IsEmpty() const { return m_bytes.empty(); }
    void Empty() { m_bytes.clear(); }

    const char* GetString() const { return m_bytes.c_str(); }
    operator const char*() const { return m_bytes.c_str(); }
    std::string_view View() const { return m_bytes; }

    CString& operator+=(const CString& other) { m_bytes += other.m_bytes; return *this; }
    CString& operator+=(const char* text);
    CString& operator+=(char ch) { m_bytes += ch; return *this; }
    void Append(const char* bytes, int length);

    // Replaces the text with printf-style output; the result may be of any length.
    void Format(const char* format, ...) ORVALIS_PRINTF(2, 3);
    void FormatV(const char* format, va_list args) ORVALIS_PRINTF(2, 0);
    // The same with a format of framework/AnsiText.h, checked when it was made;
    // each argument is converted to the type the format was made for.
    template <std::size_t N, class... Args>
    void Format(const AnsiFormatText<N, Args...>& format, std::decay_t<Args>... args)
    {
        FormatChecked(format.c_str(), args...);
    }

    // Replaces every occurrence of old by replacement; returns the count.
    int Replace(std::string_view old, std::string_view replacement);

    // Byte-wise comparison over the whole counted length.
    int Compare(const CString& other) const { return m_bytes.compare(other.m_bytes); }

    friend bool operator==(const CString& a, const CString& b) { return a.m_bytes == b.m_bytes; }
    friend bool operator==(const CString& a, const char* b) { return a.m_bytes == (b ? b : ""); }
    friend bool operator==(const char* a, const CString& b) { return b == a; }
    friend bool operator!=(const CString& a, const CString& b) { return !(a == b); }
    friend bool operator!=(const CString& a, const char* b) { return !(a == b); }
    friend bool operator!=(const char* a, const CString& b) { return !(b == a); }
    friend bool operator<(const CString& a, const CString& b) { return a.m_bytes < b.m_bytes; }

    friend CString operator+(CString a, const CString& b) { return a += b; }
    friend CString operator+(CString a, const char* b) { return a += b; }
    friend CString operator+(const char* a, const CString& b) { return CString(a) += b; }
    friend CString operator+(CString a, char b) { return a += b; }

private:
    void FormatChecked(const char* format, ...);

    std::string m_bytes;
};

// Whether two texts are the same but for the letter case of A to Z, as
// FoxPro compares names and Windows file names.
inline bool SameIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
        const char y = b[i] >= 'A' && b[i] <= 'Z' ? static_cast<char>(b[i] - 'A' + 'a') : b[i];
        if (x != y)
            return false;
    }
    return true;
}

