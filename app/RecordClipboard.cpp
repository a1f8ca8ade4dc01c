// The clipboard text of a record, and putting it there.
#include "app/RecordClipboard.h"

#include <cstring>
#include <memory>

namespace {

// A block of global memory, freed unless the clipboard took it.
struct GlobalBlock {
    explicit GlobalBlock(size_t bytes) : handle(::GlobalAlloc(GMEM_MOVEABLE, bytes)) {}
    ~GlobalBlock()
    {
        if (handle)
            ::GlobalFree(handle);
    }
    GlobalBlock(const GlobalBlock&) = delete;
    GlobalBlock& operator=(const GlobalBlock&) = delete;

    bool Fill(const void* bytes, size_t size)
    {
        void* at = handle ? ::GlobalLock(handle) : nullptr;
        if (!at)
            return false;
        std::memcpy(at, bytes, size);
        ::GlobalUnlock(handle);
        return true;
    }
    // Hands the block to the clipboard, which owns it from then on.
    bool Give(UINT format)
    {
        if (!::SetClipboardData(format, handle))
            return false;
        handle = nullptr;
        return true;
    }

    HGLOBAL handle;
};

// The clipboard, open for as long as this lives.
struct ClipboardLock {
    explicit ClipboardLock(HWND owner)
    {
        // Another program may hold it a moment.
        for (int attempt = 0; attempt < 10 && !open; ++attempt) {
            open = ::OpenClipboard(owner) != FALSE;
            if (!open)
                ::Sleep(20);
        }
    }
    ~ClipboardLock()
    {
        if (open)
            ::CloseClipboard();
    }
    ClipboardLock(const ClipboardLock&) = delete;
    ClipboardLock& operator=(const ClipboardLock&) = delete;

    bool open = false;
};

} // namespace

void RecordClipboard::AppendLine(const std::vector<std::wstring>& values, std::wstring& out)
{
    for (size_t i = 0; i < values.size(); ++i) {
        if (i > 0)
            out += L'\t';
        const std::wstring& value = values[i];
        if (value.find_first_of(L"\t\r\n\"") == std::wstring::npos) {
            out += value;
            continue;
        }
        out += L'"';
        for (const wchar_t c : value) {
            if (c == L'"')
                out += L'"';
            out += c;
        }
        out += L'"';
    }
    out += L"\r\n";
}

std::wstring RecordClipboard::Text(const std::vector<std::wstring>& titles, const std::vector<std::wstring>& values)
{
    std::wstring text;
    AppendLine(titles, text);
    AppendLine(values, text);
    return text;
}

bool RecordClipboard::Put(HWND owner, const std::wstring& text)
{
    GlobalBlock wide((text.size() + 1) * sizeof(wchar_t));
    if (!wide.Fill(text.c_str(), (text.size() + 1) * sizeof(wchar_t)))
        return false;
    // Characters the code page lacks become its default character.
    const int bytes = ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return false;
    auto narrow = std::make_unique<char[]>(static_cast<size_t>(bytes));
    ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, narrow.get(), bytes, nullptr, nullptr);
    GlobalBlock ansi(static_cast<size_t>(bytes));
    if (!ansi.Fill(narrow.get(), static_cast<size_t>(bytes)))
        return false;

    ClipboardLock clipboard(owner);
    if (!clipboard.open || !::EmptyClipboard())
        return false;
    return wide.Give(CF_UNICODETEXT) && ansi.Give(CF_TEXT);
}
