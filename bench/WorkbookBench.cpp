// Times --xlsx's workbook beside libxlsxwriter (constant-memory mode)
// writing the same cells of the benchmark table, and compares their sizes.
//
//   orvalis_workbook_bench [records] [folder] [rounds]
//
// Both read the table through the same decoder, so that each is timed from
// the table's bytes to the finished file. Rounds take turns; medians.

#include "bench/BenchTable.h"
#include "export/FieldValue.h"
#include "export/WorkbookWriter.h"
#include "framework/CodePage.h"
#include "table/mDBase.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

using bench::Clock;
using bench::Seconds;

namespace {

using Is = FieldValue::Is;

// The decimal digits of a decoded number, as a double.
double NumberOf(const DecimalNumber& number)
{
    std::string text = number.Negative ? "-" : "";
    text.append(number.Integer.empty() ? "0" : number.Integer);
    text += '.';
    text.append(number.Fraction);
    return std::strtod(text.c_str(), nullptr);
}

void WriteWithLibxlsxwriter(mDBase& table, const std::string& path, const CodePageConverter& converter)
{
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* book = workbook_new_opt(path.c_str(), &options);
    lxw_worksheet* sheet = workbook_add_worksheet(book, "bench");
    lxw_format* bold = workbook_add_format(book);
    format_set_bold(bold);
    std::vector<lxw_format*> formats;
    ValueDecoder decoder;
    decoder.Prepare(table);
    std::string text;
    for (int i = 0; i < table.GetFieldCount(); ++i) {
        const FieldDescriptor& field = table.GetField(i);
        lxw_format* format = nullptr;
        switch (decoder.TypeOf(i)) {
        case ValueType::Decimal:
        case ValueType::Whole:
        case ValueType::Integer:
            format = workbook_add_format(book);
            format_set_num_format(format, field.Decimals ? ("0." + std::string(field.Decimals, '0')).c_str() : "0");
            break;
        case ValueType::Date:
            format = workbook_add_format(book);
            format_set_num_format(format, "yyyy-mm-dd");
            break;
        default:
            break;
        }
        formats.push_back(format);
        text.clear();
        converter.AppendUtf8(field.Name.View(), text);
        worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(i), text.c_str(), bold);
    }
    worksheet_freeze_panes(sheet, 1, 0);
    FieldValue value;
    lxw_row_t row = 0;
    table.GoTo(1);
    for (std::uint32_t record = 1; record <= table.GetRecordCount(); ++record, table.MoveNext()) {
        ++row;
        for (int i = 0; i < table.GetFieldCount(); ++i) {
            const auto col = static_cast<lxw_col_t>(i);
            decoder.Decode(table, i, value);
            switch (value.What) {
            case Is::Text:
                if (value.Bytes.empty())
                    break;
                text.clear();
                converter.AppendUtf8(value.Bytes, text);
                worksheet_write_string(sheet, row, col, text.c_str(), nullptr);
                break;
            case Is::Number:
                worksheet_write_number(sheet, row, col, NumberOf(value.Number), formats[i]);
                break;
            case Is::Integer:
                worksheet_write_number(sheet, row, col, static_cast<double>(value.Integer), formats[i]);
                break;
            case Is::Double:
                worksheet_write_number(sheet, row, col, value.Double, formats[i]);
                break;
            case Is::Logical:
                worksheet_write_boolean(sheet, row, col, value.Logical, nullptr);
                break;
            case Is::Date: {
                lxw_datetime date = { static_cast<int>(value.Time.Date.Year), static_cast<int>(value.Time.Date.Month),
                                      static_cast<int>(value.Time.Date.Day), 0, 0, 0 };
                worksheet_write_datetime(sheet, row, col, &date, formats[i]);
                break;
            }
            default:
                break;
            }
        }
    }
    if (workbook_close(book) != LXW_NO_ERROR)
        std::fprintf(stderr, "libxlsxwriter failed\n");
}

double SizeOf(const std::string& path)
{
    CFileStatus status;
    CFile::GetStatus(path.c_str(), status);
    return double(status.m_size) / 1e6;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    const std::uint32_t records = argc > 1 ? static_cast<std::uint32_t>(std::strtoul(argv[1], nullptr, 10)) : 1000000;
    const std::string folder = argc > 2 ? argv[2] : "/tmp";
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 3;
    const std::string path = folder + "/orvalis-workbook-bench.dbf";
    const std::string ours = folder + "/orvalis-workbook-bench.xlsx";
    const std::string theirs = folder + "/orvalis-workbook-bench-libxlsxwriter.xlsx";
    bench::WriteTable(path, records);
    const CodePageConverter converter(kCodePageWindows1252);

    std::vector<double> ourTimes, theirTimes;
    for (int round = 0; round < rounds; ++round) {
        {
            mDBase table;
            table.Open(path.c_str());
            const auto start = Clock::now();
            WorkbookWriter("bench", converter).Export(table, ours.c_str());
            ourTimes.push_back(Seconds(start));
        }
        {
            mDBase table;
            table.Open(path.c_str());
            const auto start = Clock::now();
            WriteWithLibxlsxwriter(table, theirs, converter);
            theirTimes.push_back(Seconds(start));
        }
    }
    const double ourTime = Median(ourTimes), theirTime = Median(theirTimes);
    const double ourSize = SizeOf(ours), theirSize = SizeOf(theirs);
    std::printf("%u records, %d rounds, medians\n", records, rounds);
    std::printf("orvalis        %7.3f s  %7.1f MB\n", ourTime, ourSize);
    std::printf("libxlsxwriter  %7.3f s  %7.1f MB\n", theirTime, theirSize);
    std::printf("speed %.2fx libxlsxwriter's (goal >= 2), size %.2fx its file (goal <= 1.25)\n", theirTime / ourTime,
                ourSize / theirSize);
    std::remove(path.c_str());
    std::remove(ours.c_str());
    std::remove(theirs.c_str());
    return 0;
}
