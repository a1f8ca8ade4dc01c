// The workbook's parts around its sheets, and the naming of the sheets.
#include "export/Workbook.h"

#include "framework/CFile.h"
#include "framework/Utf8.h"

namespace {

constexpr size_t kSheetNameMost = 31; // in UTF-16 units, as Excel counts

// The text cut to at most `most` units, at a character's start.
std::string_view Cut(std::string_view text, size_t most)
{
    size_t units = 0;
    for (size_t at = 0; at < text.size(); ++at) {
        units += Utf16UnitsOf(static_cast<unsigned char>(text[at]));
        if (units > most && Utf16UnitsOf(static_cast<unsigned char>(text[at])) != 0)
            return text.substr(0, at);
    }
    return text;
}

// Excel compares names without regard to case: ASCII and the accented
// letters of Latin-1 (U+00C0 to U+00DE but U+00D7) are folded.
std::string Folded(std::string_view name)
{
    std::string folded(name);
    for (size_t i = 0; i < folded.size(); ++i) {
        const auto c = static_cast<unsigned char>(folded[i]);
        if (c >= 'A' && c <= 'Z') {
            folded[i] = static_cast<char>(c + 32);
        } else if (c == 0xC3 && i + 1 < folded.size()) {
            const auto next = static_cast<unsigned char>(folded[i + 1]);
            if (next >= 0x80 && next <= 0x9E && next != 0x97)
                folded[i + 1] = static_cast<char>(next + 32);
        }
    }
    return folded;
}

std::string Escaped(std::string_view text)
{
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

const char kXmlStart[] = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";
const char kMain[] = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const char kRelations[] = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
const char kPackageRelations[] = "http://schemas.openxmlformats.org/package/2006/relationships";
const char kTypes[] = "application/vnd.openxmlformats-officedocument.spreadsheetml.";

} // namespace

SheetNames::SheetNames()
{
    m_used.insert("history"); // Excel keeps it for its own sheet
}

std::string SheetNames::Add(std::string_view name, unsigned first)
{
    std::string clean;
    for (const char c : name) {
        const bool forbidden = std::string_view(":\\/?*[]").find(c) != std::string_view::npos ||
                               static_cast<unsigned char>(c) < 0x20;
        clean += forbidden ? '_' : c;
    }
    if (clean.empty())
        clean = "Hoja";
    if (clean.front() == '\'')
        clean.front() = '_';
    for (unsigned number = first;; ++number) {
        std::string candidate;
        if (number == 1) {
            candidate = std::string(Cut(clean, kSheetNameMost));
        } else {
            const std::string suffix = " (" + std::to_string(number) + ")";
            candidate = std::string(Cut(clean, kSheetNameMost - suffix.size())) + suffix;
        }
        // A cut may leave an apostrophe last, or in front of the suffix.
        if (number == 1 && candidate.back() == '\'')
            candidate.back() = '_';
        if (m_used.insert(Folded(candidate)).second)
            return candidate;
    }
}

Workbook::Workbook(CFile& out, std::uint64_t zip64From) : m_zip(out, zip64From)
{
    // The parts that hold no list of sheets come first: every part named
    // .xml is a sheet but for the workbook's own and its styles.
    m_zip.Add("[Content_Types].xml",
              std::string(kXmlStart) +
                  "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                  "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
                  "<Default Extension=\"xml\" ContentType=\"" + kTypes + "worksheet+xml\"/>"
                  "<Override PartName=\"/xl/workbook.xml\" ContentType=\"" + kTypes + "sheet.main+xml\"/>"
                  "<Override PartName=\"/xl/styles.xml\" ContentType=\"" + kTypes + "styles+xml\"/>"
                  "</Types>");
    m_zip.Add("_rels/.rels", std::string(kXmlStart) + "<Relationships xmlns=\"" + kPackageRelations + "\">" +
                                 "<Relationship Id=\"rId1\" Type=\"" + kRelations +
                                 "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>");
}

unsigned Workbook::Style(const std::string& format)
{
    for (size_t i = 0; i < m_formats.size(); ++i)
        if (m_formats[i] == format)
            return static_cast<unsigned>(kTitleStyle + 1 + i);
    m_formats.push_back(format);
    return static_cast<unsigned>(kTitleStyle + m_formats.size());
}

std::string Workbook::BeginSheet(std::string_view name, unsigned first, std::uint64_t most)
{
    std::string named = m_names.Add(name, first);
    m_sheets.push_back(named);
    m_zip.Begin("xl/worksheets/sheet" + std::to_string(m_sheets.size()) + ".xml", most);
    return named;
}

void Workbook::RollBack(const Mark& mark)
{
    m_zip.RollBack(mark.Zip);
    m_sheets.resize(mark.Sheets);
    m_names = SheetNames();
    for (const std::string& sheet : m_sheets)
        m_names.Add(sheet);
}

void Workbook::Finish()
{
    std::string sheets, relations;
    for (size_t i = 0; i < m_sheets.size(); ++i) {
        const std::string n = std::to_string(i + 1);
        sheets += "<sheet name=\"" + Escaped(m_sheets[i]) + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
        relations += "<Relationship Id=\"rId" + n + "\" Type=\"" + kRelations + "/worksheet\" Target=\"worksheets/sheet" +
                     n + ".xml\"/>";
    }
    relations += "<Relationship Id=\"rId" + std::to_string(m_sheets.size() + 1) + "\" Type=\"" + kRelations +
                 "/styles\" Target=\"styles.xml\"/>";
    m_zip.Add("xl/workbook.xml", std::string(kXmlStart) + "<workbook xmlns=\"" + kMain + "\" xmlns:r=\"" +
                                     kRelations + "\"><bookViews><workbookView/></bookViews><sheets>" + sheets +
                                     "</sheets></workbook>");
    m_zip.Add("xl/_rels/workbook.xml.rels",
              std::string(kXmlStart) + "<Relationships xmlns=\"" + kPackageRelations + "\">" + relations +
                  "</Relationships>");

    // Formats 1 ("0") and 2 ("0.00") are Excel's own; the others are
    // numbered from 164, as custom formats are.
    std::string formats, styles;
    unsigned custom = 0;
    for (const std::string& format : m_formats) {
        unsigned id = 0;
        if (format == "0") {
            id = 1;
        } else if (format == "0.00") {
            id = 2;
        } else {
            id = 164 + custom++;
            formats += "<numFmt numFmtId=\"" + std::to_string(id) + "\" formatCode=\"" + Escaped(format) + "\"/>";
        }
        styles += "<xf numFmtId=\"" + std::to_string(id) +
                  "\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyNumberFormat=\"1\"/>";
    }
    const char font[] = "<sz val=\"11\"/><name val=\"Calibri\"/><family val=\"2\"/>";
    std::string sheet = std::string(kXmlStart) + "<styleSheet xmlns=\"" + kMain + "\">";
    if (custom > 0)
        sheet += "<numFmts count=\"" + std::to_string(custom) + "\">" + formats + "</numFmts>";
    sheet += std::string("<fonts count=\"2\"><font>") + font + "</font><font><b/>" + font + "</font></fonts>"
             "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill>"
             "<fill><patternFill patternType=\"gray125\"/></fill></fills>"
             "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
             "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/></cellStyleXfs>"
             "<cellXfs count=\"" + std::to_string(2 + m_formats.size()) + "\">"
             "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>"
             "<xf numFmtId=\"0\" fontId=\"1\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyFont=\"1\"/>" +
             styles + "</cellXfs><cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/>"
             "</cellStyles></styleSheet>";
    m_zip.Add("xl/styles.xml", sheet);
    m_zip.Finish();
}
