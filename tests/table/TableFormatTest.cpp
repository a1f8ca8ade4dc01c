// The typed decoding of stored bytes: dates against the calendar, and the
// plain numbers told at once against DecodeNumber's reading of them.

#include "table/TableFormat.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(TableFormatTest, DatesAreTheCalendarsDays)
{
    const struct { const char* stored; Decoded decoded; } cases[] = {
        { "20240229", Decoded::Value },   { "20000229", Decoded::Value },   { "19000229", Decoded::Invalid },
        { "20230229", Decoded::Invalid }, { "21000228", Decoded::Value },   { "21000229", Decoded::Invalid },
        { "00010101", Decoded::Value },   { "99991231", Decoded::Value },   { "00000101", Decoded::Invalid },
        { "20231301", Decoded::Invalid }, { "20230001", Decoded::Invalid }, { "20230100", Decoded::Invalid },
        { "20230431", Decoded::Invalid }, { "20231231", Decoded::Value },   { "20239912", Decoded::Invalid },
        { "2023 101", Decoded::Invalid }, { "        ", Decoded::Empty },   { "00000000", Decoded::Empty },
    };
    for (const auto& c : cases) {
        CalendarDate date{};
        EXPECT_EQ(DecodeDate(c.stored, date), c.decoded) << c.stored;
    }
}

TEST(TableFormatTest, PlainNumbersAreWhatDecodeNumberReads)
{
    // Every text of these bytes up to five long, and numbers in fields about
    // the words PlainNumberStart reads (8 and 16 bytes), right-aligned, with
    // a zero or a letter before them, and left-aligned. A number is plain
    // when its text is blanks and then DecodeNumber's sign, digits (0 for
    // none) and decimals, exactly as many as asked: found, and its text.
    const std::string alphabet(" -+0159.,a\0", 11);
    std::vector<std::string> texts{ "" };
    for (size_t first = 0, length = 1; length <= 5; ++length) {
        const size_t last = texts.size();
        for (size_t t = first; t < last; ++t)
            for (const char c : alphabet)
                texts.push_back(texts[t] + c);
        first = last;
    }
    for (const std::string number : { "1", "-1", "0.25", "-0.25", "10.00", "-123456.789", "1234567" }) {
        for (const size_t width : { 7u, 8u, 9u, 15u, 16u, 17u, 24u }) {
            if (width <= number.size())
                continue;
            const std::string blanks(width - number.size(), ' ');
            texts.insert(texts.end(), { blanks + number, "0" + blanks.substr(1) + number,
                                        "x" + blanks.substr(1) + number, number + blanks });
        }
    }
    for (const std::string& text : texts) {
        // Read past its end as a record's field is: bytes of no number.
        const std::string record = text + std::string(32, '7');
        const std::string_view stored(record.data(), text.size());
        DecimalNumber number;
        const bool value = DecodeNumber(stored, number) == Decoded::Value;
        for (unsigned decimals = 0; decimals <= 3; ++decimals) {
            const std::string written = std::string(number.Negative ? "-" : "") +
                                        std::string(number.Integer.empty() ? "0" : number.Integer) +
                                        (decimals > 0 ? "." + std::string(number.Fraction) : "");
            const bool plain = value && text.size() <= 16 && number.Fraction.size() == decimals &&
                               text.size() >= written.size() &&
                               text == std::string(text.size() - written.size(), ' ') + written;
            const size_t start = PlainNumberStart(stored, decimals);
            ASSERT_EQ(start != std::string_view::npos, plain) << '"' << text << "\" " << decimals;
            if (plain) {
                EXPECT_EQ(stored.substr(start), written) << '"' << text << "\" " << decimals;
            }
        }
    }
}

} // namespace
