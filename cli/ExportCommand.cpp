// orvalis-export's command line: its options read and checked, then its tables exported.
#include "cli/ExportCommand.h"

#include "cli/CommandMessages.h"
#include "cli/Console.h"
#include "cli/TableExport.h"
#include "framework/CodePage.h"
#include "framework/Utf8.h"

#include <memory>
#include <optional>
#include <set>
#include <utility>

#ifndef ORVALIS_VERSION
#error "ORVALIS_VERSION must name the program's version"
#endif

namespace {

// A command line that cannot be run: its message, in the program's texts.
struct UsageError {
    explicit UsageError(std::string message) : Message(std::move(message)) {}
    explicit UsageError(const char* message) : Message(message) {}

    std::string Message;
};

enum class Request { Export, Help, Version };

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

// The layout and the separator between two fields, as the format dialog
// gives them.
void SetLayout(ExportOptions& options, ExportFormat layout, std::string_view separator)
{
    options.Layout = layout;
    options.Separator = separator;
    options.Sql.reset();
    options.Xlsx = false;
    options.Jsonl = false;
}

Request Parse(const std::vector<std::string>& arguments, ExportOptions& options)
{
    bool optionsEnd = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnd || argument.size() < 2 || argument[0] != '-') {
            options.Tables.push_back(argument);
            continue;
        }
        const auto value = [&]() -> const std::string& {
            if (i + 1 == arguments.size())
                throw UsageError(MissingValueError(argument));
            return arguments[++i];
        };
        if (argument == "--") {
            optionsEnd = true;
        } else if (argument == "--help") {
            return Request::Help;
        } else if (argument == "--version") {
            return Request::Version;
        } else if (argument == "--fixed") {
            SetLayout(options, ExportFormat::FixedLength, "");
        } else if (argument == "--tab") {
            SetLayout(options, ExportFormat::TabSeparated, "\t");
        } else if (argument == "--csv") {
            SetLayout(options, ExportFormat::CommaSeparated, ",");
        } else if (StartsWith(argument, "--csv=")) {
            const std::string_view separator = std::string_view(argument).substr(6);
            if (Utf8CharacterCount(CommandLineUtf8(separator)) != 1 || separator == "\"")
                throw UsageError(kCsvSeparatorError);
            SetLayout(options, ExportFormat::CommaSeparated, separator);
        } else if (StartsWith(argument, "--sep=")) {
            const std::string_view separator = std::string_view(argument).substr(6);
            if (Utf8CharacterCount(CommandLineUtf8(separator)) > 1)
                throw UsageError(kSeparatorError);
            SetLayout(options, ExportFormat::OtherCharacter, separator);
        } else if (argument == "--xlsx") {
            options.Xlsx = true;
            options.Jsonl = false;
            options.Sql.reset();
        } else if (argument == "--sql") {
            options.Sql = "postgresql";
            options.Xlsx = false;
            options.Jsonl = false;
        } else if (StartsWith(argument, "--sql=")) {
            options.Sql = argument.substr(6);
            options.Xlsx = false;
            options.Jsonl = false;
            if (!SqlDialect::Named(*options.Sql))
                throw UsageError(UnknownDatabaseError(*options.Sql));
        } else if (argument == "--jsonl") {
            options.Jsonl = true;
            options.Xlsx = false;
            options.Sql.reset();
        } else if (argument == "--bom") {
            options.Bom = true;
        } else if (argument == "--replace") {
            options.Replace = true;
        } else if (argument == "--memo") {
            options.Memo = true;
        } else if (argument == "--skip-deleted") {
            options.SkipDeleted = true;
        } else if (argument == "--header") {
            options.Header = true;
        } else if (argument == "--utf8") {
            options.Utf8 = true;
            options.CodePage = 0;
        } else if (StartsWith(argument, "--utf8=")) {
            options.Utf8 = true;
            options.CodePage = CodePageFromName(std::string_view(argument).substr(7));
            if (options.CodePage == 0)
                throw UsageError(UnknownCodePageError(argument.substr(7)));
        } else if (argument == "-o") {
            options.Output = value();
        } else if (argument == "-d") {
            options.Folder = value();
        } else {
            throw UsageError(UnknownOptionError(argument));
        }
    }
    if (options.Tables.empty())
        throw UsageError(kNoTableError);
    if (options.Output && options.Folder)
        throw UsageError(kOutputAndFolderError);
    if (options.Output && options.Tables.size() > 1 && !options.Sql && !options.Xlsx)
        throw UsageError(kOneOutputError);
    const bool unbounded = options.Layout == ExportFormat::TabSeparated || options.Layout == ExportFormat::CommaSeparated;
    if (options.Memo && !options.Sql && !options.Xlsx && !options.Jsonl && !unbounded)
        throw UsageError(kMemoLayoutError);
    if (options.Replace && !options.Sql)
        throw UsageError(kReplaceError);
    if (options.Header && options.Sql)
        throw UsageError(kHeaderSqlError);
    if (options.Header && options.Xlsx)
        throw UsageError(kHeaderXlsxError);
    if (options.Header && options.Jsonl)
        throw UsageError(kHeaderJsonlError);
    // A script or JSON Lines is UTF-8 by definition, and their readers take
    // a mark for a stray character; a text of the table's own code page is
    // no UTF-8 for the mark to announce.
    if (options.Bom && (options.Sql || options.Jsonl || options.Xlsx))
        throw UsageError(kBomTypedError);
    if (options.Bom && !options.Utf8)
        throw UsageError(kBomUtf8Error);
    return Request::Export;
}

} // namespace

int RunExportCommand(const std::vector<std::string>& arguments)
{
    ExportOptions options;
    try {
        switch (Parse(arguments, options)) {
        case Request::Help:
            WriteText(Stream::Output, std::string(kUsage) + kHelp.c_str());
            return kExported;
        case Request::Version:
            WriteText(Stream::Output, "orvalis-export " ORVALIS_VERSION "\n");
            return kExported;
        case Request::Export:
            break;
        }
    } catch (const UsageError& error) {
        WriteText(Stream::Error, "orvalis-export: " + error.Message + kUsage.c_str() + kMoreInformation.c_str());
        return kUsageError;
    }

    const std::vector<std::string> failed = ExportTables(options);
    if (failed.empty())
        return kExported;
    // Named again at the end where more than the one table named failed.
    if (options.Tables.size() > 1 || failed.size() > 1 || failed[0] != options.Tables[0])
        for (const std::string& table : failed)
            WriteText(Stream::Error, NotExportedLine(table), table);
    return kSomeFailed;
}
