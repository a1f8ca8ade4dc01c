// RecordSearch: the next record with a field whose shown text holds a text.
#pragma once

#include "table/mDBase.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

// Finds records whose fields, as the list shows them, contain a text,
// letter case aside: both sides are compared in Unicode after the system's
// upper-casing ("peña" finds "PEÑA"). The records are walked one after
// another through the table's read-ahead window. A single-byte code page is
// compared byte by byte through a table of each byte's upper-cased
// character, with nothing converted; any other page converts each value
// but those of ASCII alone. A memo's text is read and converted.
class RecordSearch {
public:
    // A cell's text as the list shows it (record counted from 1): for the
    // memos, and for values of a page of several bytes a character.
    using CellText = std::function<std::wstring(std::uint32_t record, int field)>;

    // codePage: the one the list's texts are converted from (CP_ACP, a
    // number, or UTF-8's 65001).
    RecordSearch(mDBase& table, unsigned codePage, const std::wstring& text, CellText cell);

    // Told every few thousand records how many have been gone through, of
    // how many; false stops the search.
    using Progress = std::function<bool(std::uint32_t done, std::uint32_t total)>;

    // The first record that holds the text, from the one after `after` (or
    // from the first when `after` is 0) to the last, then from the first,
    // `after` itself last. 0 when none holds it or the progress stopped it.
    std::uint32_t FindAfter(std::uint32_t after, const Progress& progress);
    // Whether the last search was stopped by its progress.
    bool Stopped() const { return m_stopped; }

    // A text upper-cased as the search compares it.
    static std::wstring Fold(std::wstring_view text);

private:
    // Whether the record loaded holds the text.
    bool RecordMatches();
    bool Contains(std::string_view bytes, int field);
    bool ContainsByTable(std::string_view bytes) const;
    bool ContainsConverted(std::string_view bytes, int field);
    bool CellContains(int field);

    mDBase& m_table;
    CellText m_cell;
    std::wstring m_text; // upper-cased
    bool m_byTable = false;
    bool m_numeric = false; // whether a binary value's text could hold the text
    bool m_asciiKept = true; // whether the bytes below 0x80 are ASCII in the code page
    std::array<wchar_t, 256> m_folded {}; // each byte's character, upper-cased
    std::array<bool, 256> m_starts {};    // the bytes whose character begins the text
    std::string m_shown;                  // a field's text, as the list shows it
    bool m_stopped = false;
};
