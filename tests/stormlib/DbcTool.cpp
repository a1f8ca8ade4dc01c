// Compressed tables made and expanded by StormLib, independently of the
// program's decoder, for the tests and the benchmark:
//
//   dbc_tool implode [--coded] [--dictionary=1024|2048|4096] TABLE.dbf OUT.dbc
//   dbc_tool expand TABLE.dbc OUT.dbf
//
// implode writes the .dbf's header, the CRC-32 (zlib's) of the whole .dbf and
// StormLib's implode of the rest; plain literals and 4 KiB by default, as
// the published files have. expand writes the header and StormLib's explode
// of the stream, as a user who expands a .dbc before reading it does.

#include "tests/support/StormLib.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using testing_support::StormStreams;

struct Closer {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, Closer>;

File OpenFile(const std::string& path, const char* mode)
{
    File file(std::fopen(path.c_str(), mode));
    if (!file)
        throw std::runtime_error("cannot open " + path);
    static thread_local std::vector<char> buffers[2];
    std::vector<char>& buffer = buffers[mode[0] == 'r' ? 0 : 1];
    buffer.resize(1 << 20);
    std::setvbuf(file.get(), buffer.data(), _IOFBF, buffer.size());
    return file;
}

// The header: its length is at offset 8.
std::string ReadHeader(std::FILE* in, const std::string& path)
{
    std::string header(10, '\0');
    if (std::fread(&header[0], 1, 10, in) != 10)
        throw std::runtime_error(path + " is too short for a table");
    const size_t length = static_cast<unsigned char>(header[8]) | static_cast<unsigned char>(header[9]) << 8;
    header.resize(std::max<size_t>(length, 10));
    if (std::fread(&header[10], 1, header.size() - 10, in) != header.size() - 10)
        throw std::runtime_error(path + " is too short for its header");
    return header.substr(0, length);
}

void Write(std::FILE* out, const char* bytes, size_t size)
{
    if (std::fwrite(bytes, 1, size, out) != size)
        throw std::runtime_error("cannot write the output");
}

void Implode(const std::string& from, const std::string& to, bool coded, unsigned dictionary)
{
    const File in = OpenFile(from, "rb"), out = OpenFile(to, "wb");
    const std::string header = ReadHeader(in.get(), from);
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(header.data()), static_cast<uInt>(header.size()));
    Write(out.get(), header.data(), header.size());
    Write(out.get(), "\0\0\0\0", 4); // the CRC, once the whole table has been read
    StormStreams streams{ [&](char* buffer, unsigned size) {
                             const auto got = static_cast<unsigned>(std::fread(buffer, 1, size, in.get()));
                             crc = crc32(crc, reinterpret_cast<const Bytef*>(buffer), got);
                             return got;
                         },
                          [&](const char* bytes, unsigned size) { Write(out.get(), bytes, size); } };
    testing_support::StormImplode(streams, coded, dictionary);
    const unsigned char stored[4] = { static_cast<unsigned char>(crc), static_cast<unsigned char>(crc >> 8),
                                      static_cast<unsigned char>(crc >> 16), static_cast<unsigned char>(crc >> 24) };
    if (std::fseek(out.get(), static_cast<long>(header.size()), SEEK_SET) != 0)
        throw std::runtime_error("cannot write the CRC");
    Write(out.get(), reinterpret_cast<const char*>(stored), 4);
}

void Expand(const std::string& from, const std::string& to)
{
    const File in = OpenFile(from, "rb"), out = OpenFile(to, "wb");
    const std::string header = ReadHeader(in.get(), from);
    char crc[4];
    if (std::fread(crc, 1, 4, in.get()) != 4)
        throw std::runtime_error(from + " has no CRC");
    Write(out.get(), header.data(), header.size());
    StormStreams streams{ [&](char* buffer, unsigned size) {
                             return static_cast<unsigned>(std::fread(buffer, 1, size, in.get()));
                         },
                          [&](const char* bytes, unsigned size) { Write(out.get(), bytes, size); } };
    if (!testing_support::StormExplode(streams))
        throw std::runtime_error("StormLib's explode finds " + from + " damaged");
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        if (args.size() == 3 && args[0] == "expand") {
            Expand(args[1], args[2]);
            return 0;
        }
        if (args.size() >= 3 && args[0] == "implode") {
            bool coded = false;
            unsigned dictionary = 4096;
            for (size_t i = 1; i + 2 < args.size(); ++i) {
                if (args[i] == "--coded")
                    coded = true;
                else if (args[i].rfind("--dictionary=", 0) == 0)
                    dictionary = static_cast<unsigned>(std::stoul(args[i].substr(13)));
                else
                    throw std::runtime_error("unknown option " + args[i]);
            }
            Implode(args[args.size() - 2], args.back(), coded, dictionary);
            return 0;
        }
        std::fprintf(stderr, "usage: dbc_tool implode [--coded] [--dictionary=1024|2048|4096] TABLE.dbf OUT.dbc\n"
                             "       dbc_tool expand TABLE.dbc OUT.dbf\n");
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "dbc_tool: %s\n", e.what());
        return 1;
    }
}
