#include "framework/CodePage.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Replacements(int count)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += "\uFFFD";
    return text;
}

TEST(CodePageTest, NamesGiveCodePages)
{
    const struct { const char* name; unsigned codePage; } cases[] = {
        { "UTF-8", kCodePageUtf8 }, { "utf8", kCodePageUtf8 }, { "65001", kCodePageUtf8 },
        { "1252", 1252 }, { "CP1252", 1252 }, { "cp 1252", 1252 }, { "ANSI 1252", 1252 },
        { "Windows-1252", 1252 }, { " \t1252 \r\n850\r\n", 1252 }, { "\r\nOEM 850", 850 },
        { "IBM850", 850 }, { "cp866", 866 }, { "8859-1", 28591 }, { "ISO-8859-1", 28591 },
        { "iso_8859-2", 28592 }, { "ISO8859-15", 28605 }, { "88591", 28591 }, { "ASCII", 20127 },
        { "US-ASCII", 20127 },
        // Not names, or not pages the system converts.
        { "", 0 }, { "  \r\n", 0 }, { "latin1", 0 }, { "cp", 0 }, { "1252x", 0 }, { "cp 12 52", 0 },
        { "12345", 0 }, { "0", 0 }, { "ISO-8859-0", 0 }, { "ISO-1252", 0 }, { "\n1252", 1252 },
        { "utf-8 1252", 0 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CodePageFromName(c.name), c.codePage);
    }
}

TEST(CodePageTest, ConvertsToUtf8)
{
    using namespace std::string_literals;
    const struct { unsigned codePage; std::string bytes; std::string utf8; } cases[] = {
        { 850, "\xA4\xA0\x82", "ñáé" },
        { 1252, "\xE1\x80 \xD1", "á€ Ñ" },
        { 437, "\x81\xE1\x9B", "üß¢" },
        { 866, "\x8F\xE0\xA8", "При" },
        { 28591, "caf\xE9", "café" },
        { 932, "\x82\xA0\x93\xFA", "あ日" },
        { 1252, "a\0b\0"s, "a\0b\0"s },
        { kCodePageUtf8, "ñ\0€𝄞"s, "ñ\0€𝄞"s },
        // Ill-formed UTF-8: one U+FFFD for each longest start of a character.
        { kCodePageUtf8, "a\xFF" "b\x80", "a" + Replacements(1) + "b" + Replacements(1) },
        { kCodePageUtf8, "\xE2\x82" "A\xE2\x82", Replacements(1) + "A" + Replacements(1) },
        // Overlong, surrogate, beyond U+10FFFF.
        { kCodePageUtf8, "\xC0\xAF\xED\xA0\x80\xF4\x90\x80", Replacements(8) },
        { 1252, "", "" },
#ifndef _WIN32
        // A bad trail byte, then a lead byte cut short. Windows maps both to
        // characters of its own (U+30FB) instead.
        { 932, "\x82 \x82\xA0\x82", Replacements(1) + " あ" + Replacements(1) },
#endif
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.codePage);
        SCOPED_TRACE(c.utf8);
        const CodePageConverter converter(c.codePage);
        EXPECT_EQ(converter.CodePage(), c.codePage);
        std::string out = "=";
        converter.AppendUtf8(c.bytes, out);
        converter.AppendUtf8(c.bytes, out);   // no state is left behind
        EXPECT_EQ(out, "=" + c.utf8 + c.utf8);
    }
}

TEST(CodePageTest, CountsUndefinedSequencesAndJoinsPieces)
{
    using namespace std::string_literals;
    const struct { unsigned codePage; std::string bytes; std::string utf8; size_t replaced; } cases[] = {
        { kCodePageUtf8, "a\xFF" "b\xE2\x82", "a" + Replacements(1) + "b" + Replacements(1), 2 },
        { kCodePageUtf8, "ñ€𝄞", "ñ€𝄞", 0 },
        { 932, "\x82\xA0\x93\xFA", "あ日", 0 },
        { 1252, "\xE1\x80", "á€", 0 },
        // A converter that holds a letter back for an accent that may follow
        // still gives it at the end of the text.
        { 1258, "ab", "ab", 0 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.codePage);
        const CodePageConverter converter(c.codePage);
        std::string whole;
        EXPECT_EQ(converter.AppendUtf8(c.bytes, whole), c.replaced);
        EXPECT_EQ(whole, c.utf8);
        // Cut anywhere, the pieces give the same text: a character cut short
        // waits for the next piece.
        for (size_t cut = 0; cut <= c.bytes.size(); ++cut) {
            std::string pieces;
            size_t used = 0;
            size_t replaced = converter.AppendUtf8Part(std::string_view(c.bytes).substr(0, cut), pieces, used);
            EXPECT_LE(used, cut);
            replaced += converter.AppendUtf8(std::string_view(c.bytes).substr(used), pieces);
            EXPECT_EQ(pieces, c.utf8) << cut;
            EXPECT_EQ(replaced, c.replaced) << cut;
        }
    }
}

TEST(CodePageTest, SupportsTheCommonPagesOnly)
{
    for (const unsigned codePage : { 437u, 737u, 850u, 852u, 857u, 861u, 865u, 866u, 874u, 932u,
                                     936u, 949u, 950u, 1250u, 1251u, 1252u, 1253u, 1254u, 1255u,
                                     1256u, 1257u, 1258u, 20127u, 28591u, 28592u, 28593u, 28594u,
                                     28595u, 28596u, 28597u, 28598u, 28599u, 28605u, 65001u }) {
        EXPECT_TRUE(CodePageConverter::IsSupported(codePage)) << codePage;
    }
    EXPECT_FALSE(CodePageConverter::IsSupported(0));
    try {
        const CodePageConverter converter(12345);
        ADD_FAILURE() << "no exception";
    } catch (const CCodePageException& e) {
        EXPECT_EQ(e.CodePage(), 12345u);
        EXPECT_EQ(std::string(e.GetErrorMessage().View()),
                  "La p\xE1gina de c\xF3" "digos 12345 no se puede convertir a UTF-8.");
    }
}

} // namespace
