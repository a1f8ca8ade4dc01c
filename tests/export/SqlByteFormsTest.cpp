// The byte tables of SQL texts against a plain conversion, byte by byte.

#include "export/SqlByteForms.h"
#include "export/SqlDialect.h"
#include "framework/CodePage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

// What a text becomes, done the slow way: converted to UTF-8, then each
// byte escaped by the dialect or in hexadecimal; a NUL the database does not
// hold becomes U+FFFD. The bytes that became U+FFFD are counted: those the
// page does not define, and those NULs.
struct Converted {
    std::string Utf8, Written;
    size_t Unmapped = 0, Nuls = 0;
};

Converted Reference(const SqlDialect& dialect, const CodePageConverter& converter, std::string_view text, bool hex)
{
    Converted converted;
    converted.Unmapped = converter.AppendUtf8(text, converted.Utf8);
    for (const char c : converted.Utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == 0 && !dialect.HoldsNul()) {
            converted.Written += hex ? "efbfbd" : "\xEF\xBF\xBD";
            ++converted.Nuls;
        } else if (hex) {
            converted.Written += { kSqlHexDigits[byte >> 4], kSqlHexDigits[byte & 15] };
        } else {
            converted.Written += byte < 0x80 ? dialect.EscapedByte(c) : std::string(1, c);
        }
    }
    return converted;
}

// Texts of every length up to 70, of letters and of the bytes the dialects
// write otherwise (NUL, controls, quotes, backslashes, CR, LF, high bytes),
// so that each falls at every place in a word and after the last whole word.
std::vector<std::string> Texts()
{
    const std::string others = std::string("\0\x01\x1A\x1F'\"\\\r\n\t\x7F\x80\x81\x9F\xA0\xC3\xE9\xF1\xFF", 19);
    std::mt19937 random(2718);
    std::vector<std::string> texts;
    for (size_t length = 0; length <= 70; ++length) {
        for (int n = 0; n < 12; ++n) {
            std::string text;
            for (size_t i = 0; i < length; ++i) {
                const unsigned pick = random() % 100;
                text += pick < 60 ? static_cast<char>('a' + random() % 26)
                        : pick < 90 ? others[random() % others.size()]
                                    : static_cast<char>(random() % 256);
            }
            texts.push_back(text);
        }
    }
    return texts;
}

TEST(SqlByteFormsTest, EveryReadingWritesWhatAPlainConversionDoes)
{
    // Single-byte pages go through their own table, in each way a text is
    // read; others are converted first, then escaped. EBCDIC (500) keeps no
    // ASCII.
    std::vector<unsigned> pages;
    for (const unsigned page : { 1252u, 437u, 850u, 866u, 1251u, 500u, 932u, kCodePageUtf8 })
        if (CodePageConverter::IsSupported(page))
            pages.push_back(page);
    ASSERT_GE(pages.size(), 2u);
    const std::vector<std::string> texts = Texts();
    for (const char* name : { "postgresql", "sqlite", "mysql" }) {
        const std::unique_ptr<SqlDialect> dialect = SqlDialect::Named(name);
        for (const unsigned page : pages) {
            const CodePageConverter converter(page);
            const bool byTable = converter.ConvertsByTable();
            for (const bool hex : { false, true }) {
                SCOPED_TRACE(std::string(name) + ", page " + std::to_string(page) + (hex ? ", hexadecimal" : ""));
                const auto forms = SqlByteForms::Make(*dialect, byTable ? &converter : nullptr, hex);
                for (const std::string& text : texts) {
                    const Converted expected = Reference(*dialect, converter, text, hex);
                    // The bytes the table takes: the page's, or their UTF-8,
                    // whose undefined bytes the conversion counted already.
                    const std::string& input = byTable ? text : expected.Utf8;
                    const size_t replaced = expected.Nuls + (byTable ? expected.Unmapped : 0);
                    EXPECT_EQ(forms->CountReplaced(input), replaced) << text;
                    EXPECT_EQ(forms->CountReturns(input),
                              static_cast<std::uint64_t>(std::count(expected.Utf8.begin(), expected.Utf8.end(), '\r')));
                    for (const auto reading : { SqlByteForms::Reading::Piece, SqlByteForms::Reading::Words,
                                                SqlByteForms::Reading::Bytes }) {
                        // Words may read past the end, as in a record.
                        const std::string from = input + std::string(8, 'z');
                        std::string out(sizeof forms->Form[0] * input.size() + 16, '\0');
                        std::uint8_t any = 0;
                        const char* const end = forms->Write(out.data(), from.data(), input.size(), reading, any);
                        EXPECT_EQ(std::string(out.data(), static_cast<size_t>(end - out.data())), expected.Written)
                            << "reading " << static_cast<int>(reading) << ", text of " << text.size();
                        EXPECT_EQ(any != 0, replaced != 0) << text;
                    }
                }
            }
        }
    }
}

} // namespace
