// The names of the command line's outputs.

#include "cli/OutputNames.h"

#include "framework/FilePath.h"
#include "table/DatabaseContainer.h"

#include <string_view>

namespace {

// A name Windows keeps for a device in every folder, whatever extension
// follows it (CON, NUL, COM1...); avoided on every system alike.
bool IsDeviceName(std::string_view name)
{
    const std::string_view stem = name.substr(0, name.find('.'));
    for (const char* device : { "CON", "PRN", "AUX", "NUL" })
        if (SameIgnoringCase(stem, device))
            return true;
    return stem.size() == 4 && (SameIgnoringCase(stem.substr(0, 3), "COM") || SameIgnoringCase(stem.substr(0, 3), "LPT")) &&
           stem[3] >= '1' && stem[3] <= '9';
}

} // namespace

std::string InFolder(const ExportOptions& options, const std::string& beside)
{
    if (!options.Folder)
        return beside;
    std::string folder = *options.Folder;
    if (!folder.empty() && !IsPathSeparator(folder.back()))
        folder += '/';
    return folder + beside.substr(NameStart(beside));
}

const char* Extension(const ExportOptions& options)
{
    return options.Sql ? ".sql" : options.Jsonl ? ".jsonl" : options.Xlsx ? ".xlsx" : ".txt";
}

std::string OutputPath(const ExportOptions& options, const std::string& table)
{
    if (options.Output)
        return *options.Output;
    return InFolder(options, WithExtension(table, Extension(options)));
}

std::string FileNameOf(const CString& longName, const std::string& path)
{
    std::string file = DatabaseContainer::SystemName(longName);
    for (char& c : file)
        if (c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' || c == '>' ||
            c == '|')
            c = '_';
    if (file.find_first_not_of(". ") == std::string::npos || IsDeviceName(file))
        return WithExtension(path.substr(NameStart(path)), "");
    return file;
}
