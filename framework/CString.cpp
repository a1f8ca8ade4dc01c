#include "framework/CString.h"

#include <cstdio>
#include <vector>

CString::CString(const char* text)
{
    if (text)
        m_bytes = text;
}

CString::CString(const char* bytes, int length)
{
    if (bytes && length > 0)
        m_bytes.assign(bytes, static_cast<size_t>(length));
}

CString::CString(char ch, int repeat)
{
    if (repeat > 0)
        m_bytes.assign(static_cast<size_t>(repeat), ch);
}

CString& CString::operator+=(const char* text)
{
    if (text)
        m_bytes += text;
    return *this;
}

void CString::Append(const char* bytes, int length)
{
    if (bytes && length > 0)
        m_bytes.append(bytes, static_cast<size_t>(length));
}

void CString::Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    FormatV(format, args);
    va_end(args);
}

// The compiler cannot read these formats, so the warning for a format that is
// not a literal stays off here: AnsiFormat checked each one when it was made.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
void CString::FormatChecked(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    FormatV(format, args);
    va_end(args);
}
#pragma GCC diagnostic pop

void CString::FormatV(const char* format, va_list args)
{
    // Measure first, then write into a buffer of the exact size.
    va_list measure;
    va_copy(measure, args);
    const int needed = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (needed <= 0) {
        m_bytes.clear();
        return;
    }
    std::vector<char> buffer(static_cast<size_t>(needed) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    m_bytes.assign(buffer.data(), static_cast<size_t>(needed));
}

int CString::Replace(std::string_view old, std::string_view replacement)
{
    if (old.empty())
        return 0;
    int count = 0;
    for (size_t at = m_bytes.find(old); at != std::string::npos;
         at = m_bytes.find(old, at + replacement.size())) {
        m_bytes.replace(at, old.size(), replacement);
        ++count;
    }
    return count;
}
