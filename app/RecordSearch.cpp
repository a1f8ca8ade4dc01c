// The walk through the records that finds a text in them.
#include "app/RecordSearch.h"

#include "framework/Win32.h"

namespace {

// Records between two reports of progress: often enough for a box that
// answers at once, rarely enough to cost nothing.
constexpr std::uint32_t kReportEvery = 4096;

bool IsSingleByte(unsigned codePage)
{
    CPINFO info {};
    return ::GetCPInfo(codePage, &info) && info.MaxCharSize == 1;
}

} // namespace

std::wstring RecordSearch::Fold(std::wstring_view text)
{
    if (text.empty())
        return std::wstring();
    // Upper-casing maps each UTF-16 unit to one, so the lengths agree.
    std::wstring folded(text.size(), L'\0');
    const int length = ::LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, text.data(), static_cast<int>(text.size()),
                                      folded.data(), static_cast<int>(folded.size()));
    if (length <= 0)
        return std::wstring(text);
    folded.resize(static_cast<size_t>(length));
    return folded;
}

RecordSearch::RecordSearch(mDBase& table, unsigned codePage, const std::wstring& text, CellText cell)
    : m_table(table), m_cell(std::move(cell)), m_text(Fold(text))
{
    // A binary value shows as a number, a date and time, "nan" or "inf":
    // a text of any other character is in none, and none is rendered.
    m_numeric = m_text.find_first_not_of(L"0123456789-.: NAIF") == std::wstring::npos;
    if (m_text.empty())
        return;
    m_byTable = IsSingleByte(codePage);
    // Each byte's character; in a page of several bytes a character, only
    // the bytes below 0x80, where they stand for themselves.
    const unsigned bytes = m_byTable ? 256 : 128;
    std::wstring each(bytes, L'\0');
    for (unsigned b = 0; b < bytes; ++b) {
        const char one = static_cast<char>(b);
        // A byte the page leaves undefined shows as the replacement character.
        if (::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, &one, 1, &each[b], 1) != 1)
            each[b] = L'\xFFFD';
        m_asciiKept = m_asciiKept && (b >= 128 || each[b] == static_cast<wchar_t>(b));
    }
    const std::wstring folded = Fold(each);
    m_folded.fill(L'\xFFFF'); // no character of a text
    for (unsigned b = 0; b < bytes; ++b) {
        m_folded[b] = folded[b];
        m_starts[b] = folded[b] == m_text[0];
    }
}

std::uint32_t RecordSearch::FindAfter(std::uint32_t after, const Progress& progress)
{
    m_stopped = false;
    const std::uint32_t count = m_table.GetRecordCount();
    if (m_text.empty() || count == 0)
        return 0;
    if (after > count)
        after = 0;
    std::uint32_t record = after;
    for (std::uint32_t done = 0; done < count; ++done) {
        record = record == count ? 1 : record + 1;
        if (done % kReportEvery == 0 && done > 0 && progress && !progress(done, count)) {
            m_stopped = true;
            return 0;
        }
        // Loaded every time: the progress may have shown the list, which
        // loads the records it paints.
        if (m_table.GoTo(record) && RecordMatches())
            return record;
    }
    return 0;
}

bool RecordSearch::RecordMatches()
{
    for (int field = 0; field < m_table.GetFieldCount(); ++field) {
        if (m_table.GetField(field).Memo == MemoUse::Text) {
            // The list shows a memo's text, read from the memo file.
            if (CellContains(field))
                return true;
            continue;
        }
        std::string_view shown;
        if (!m_table.GetField(field).IsBinary()) {
            // A text shows as stored, without its trailing blanks: read in place.
            if (m_table.IsNullValue(field))
                continue;
            shown = DropTrailingBlanks(m_table.ValueView(field));
        } else {
            if (!m_numeric)
                continue;
            m_shown.clear();
            m_table.AppendDisplayText(field, m_shown);
            shown = m_shown;
        }
        if (shown.size() >= m_text.size() && Contains(shown, field))
            return true;
    }
    return false;
}

bool RecordSearch::Contains(std::string_view bytes, int field)
{
    return m_byTable ? ContainsByTable(bytes) : ContainsConverted(bytes, field);
}

bool RecordSearch::ContainsByTable(std::string_view bytes) const
{
    const size_t length = m_text.size();
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    for (size_t at = 0; at + length <= bytes.size(); ++at) {
        if (!m_starts[data[at]])
            continue;
        size_t matched = 1;
        while (matched < length && m_folded[data[at + matched]] == m_text[matched])
            ++matched;
        if (matched == length)
            return true;
    }
    return false;
}

bool RecordSearch::ContainsConverted(std::string_view bytes, int field)
{
    // Most values of most tables are plain ASCII: compared as bytes.
    if (m_asciiKept && IsAscii(bytes))
        return ContainsByTable(bytes);
    return CellContains(field);
}

bool RecordSearch::CellContains(int field)
{
    if (!m_cell)
        return false;
    const std::wstring shown = Fold(m_cell(m_table.GetCurrentRecord(), field));
    return shown.find(m_text) != std::wstring::npos;
}
