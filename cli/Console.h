#pragma once

// What orvalis-export writes to its console: the program's Windows-1252
// texts and the file names among them, each in the form the console shows.

#include <initializer_list>
#include <string>
#include <string_view>

// The two streams of a console program.
enum class Stream { Output, Error };

// Writes a text of the program (Windows-1252 bytes, as all its texts are) to
// a stream, so that a terminal shows its accents: as UTF-8 on POSIX, in the
// console's own characters on Windows; redirected on Windows, the bytes go
// out as they are. A file name inside the text keeps the bytes the system
// spells it with; so do the names of several files.
void WriteText(Stream stream, std::string_view text, std::initializer_list<std::string_view> fileNames);
inline void WriteText(Stream stream, std::string_view text, std::string_view fileName = {})
{
    WriteText(stream, text, { fileName });
}

// The code page of the command line's arguments.
unsigned CommandLineCodePage();

// Text of the command line (a separator, a file's name) in UTF-8.
std::string CommandLineUtf8(std::string_view text);

