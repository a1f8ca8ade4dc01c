#pragma once

// Writes dBase tables byte by byte for tests, fuzz seeds, benchmarks and
// samples. The header fields can be overridden to build malformed tables.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace testing_support {

struct FieldSpec {
    std::string name; // up to 11 bytes (32 at level 7); that many leave no NUL
    char type;
    std::uint16_t length; // above 255: the high byte goes where the decimal count is, as Clipper keeps it
    std::uint8_t decimals;
    std::uint8_t flags; // Visual FoxPro: 0x01 system field, 0x02 nullable
};

class TableBuilder {
public:
    TableBuilder& Field(std::string name, char type, std::uint16_t length, std::uint8_t decimals = 0,
                        std::uint8_t flags = 0)
    {
        m_fields.push_back({ std::move(name), type, length, decimals, flags });
        return *this;
    }

    // The version byte: 0x03 by default, 0x30 Visual FoxPro, 0x04 level 7
    // (68-byte header, 48-byte descriptors).
    TableBuilder& Version(std::uint8_t version) { m_version = version; return *this; }
    // 32-byte descriptors whatever the version, as Perl's XBase writes 0x84.
    TableBuilder& Descriptors32() { m_descriptors32 = true; return *this; }
    TableBuilder& LanguageDriver(std::uint8_t driver) { m_languageDriver = driver; return *this; }
    // The table flags byte (offset 28): Visual FoxPro's 0x04 marks a database container.
    TableBuilder& TableFlags(std::uint8_t flags) { m_tableFlags = flags; return *this; }
    // Bytes kept in the header after the terminator, such as Visual
    // FoxPro's 263-byte backlink.
    TableBuilder& AfterTerminator(std::string bytes) { m_afterTerminator = std::move(bytes); return *this; }

    // One record: its field bytes in order, without the deletion flag. Each
    // value is padded with blanks or cut to its field's length.
    TableBuilder& Record(const std::vector<std::string>& values, char flag = ' ')
    {
        std::string record(1, flag);
        for (size_t i = 0; i < m_fields.size(); ++i) {
            std::string value = i < values.size() ? values[i] : std::string();
            value.resize(m_fields[i].length, ' ');
            record += value;
        }
        m_records.push_back(record);
        return *this;
    }

    // A record given as its exact bytes, deletion flag included.
    TableBuilder& RawRecord(std::string bytes)
    {
        m_records.push_back(std::move(bytes));
        return *this;
    }

    TableBuilder& RecordCount(std::uint32_t n) { m_recordCount = n; m_recordCountSet = true; return *this; }
    TableBuilder& HeaderLength(std::uint16_t n) { m_headerLength = n; m_headerLengthSet = true; return *this; }
    TableBuilder& RecordLength(std::uint16_t n) { m_recordLength = n; m_recordLengthSet = true; return *this; }
    // Drops the end-of-file marker and cuts the file to this many bytes.
    TableBuilder& TruncateTo(size_t n) { m_truncate = n; m_truncateSet = true; return *this; }
    // Drops the end-of-file marker and makes the written file this long, the
    // rest a hole of zero bytes: billions of records at no cost in disk space.
    TableBuilder& SparseTo(std::uint64_t n) { m_sparse = n; return TruncateTo(SIZE_MAX); }

    std::uint16_t NaturalRecordLength() const
    {
        unsigned length = 1;
        for (const auto& field : m_fields)
            length += field.length;
        return static_cast<std::uint16_t>(length);
    }

    std::string Header() const
    {
        const bool level7 = (m_version & 0x07) == 4 && !m_descriptors32;
        const size_t descriptorSize = level7 ? 48 : 32;
        const size_t nameSize = level7 ? 32 : 11;
        const auto headerLength = m_headerLengthSet
            ? m_headerLength
            : static_cast<std::uint16_t>((level7 ? 68 : 32) + descriptorSize * m_fields.size() + 1 +
                                         m_afterTerminator.size());
        std::string h(level7 ? 68 : 32, '\0');
        h[0] = static_cast<char>(m_version);
        h[1] = 126; // 2026-12-09
        h[2] = 12;
        h[3] = 9;
        Put32(h, 4, m_recordCountSet ? m_recordCount : static_cast<std::uint32_t>(m_records.size()));
        Put16(h, 8, headerLength);
        Put16(h, 10, m_recordLengthSet ? m_recordLength : NaturalRecordLength());
        h[28] = static_cast<char>(m_tableFlags);
        h[29] = static_cast<char>(m_languageDriver);
        for (const auto& field : m_fields) {
            std::string d(descriptorSize, '\0');
            std::memcpy(&d[0], field.name.data(), std::min(field.name.size(), nameSize));
            const size_t type = level7 ? 32 : 11;
            const size_t length = level7 ? 33 : 16;
            d[type] = field.type;
            d[length] = static_cast<char>(field.length & 0xFF);
            d[length + 1] = static_cast<char>(field.length > 255 ? field.length >> 8 : field.decimals);
            if (!level7)
                d[18] = static_cast<char>(field.flags);
            h += d;
        }
        h += '\r';
        h += m_afterTerminator;
        // Pad or cut to the stated header length, so that records begin there.
        if (m_headerLengthSet)
            h.resize(headerLength, '\0');
        return h;
    }

    std::string Bytes() const
    {
        std::string bytes = Header();
        for (const auto& record : m_records)
            bytes += record;
        if (m_truncateSet)
            bytes.resize(std::min(bytes.size(), m_truncate));
        else
            bytes += '\x1A';
        return bytes;
    }

    void WriteTo(const std::string& path) const
    {
        WriteFile(path, Bytes());
        if (m_sparse)
            std::filesystem::resize_file(path, m_sparse);
    }

    static void WriteFile(const std::string& path, const std::string& bytes)
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out)
            throw std::runtime_error("cannot write " + path);
    }

    // The header length a table's bytes give at offset 8.
    static size_t HeaderLengthOf(const std::string& bytes)
    {
        return static_cast<unsigned char>(bytes[8]) | static_cast<size_t>(static_cast<unsigned char>(bytes[9])) << 8;
    }

    static void Put16(std::string& s, size_t at, std::uint16_t v)
    {
        s[at] = static_cast<char>(v & 0xFF);
        s[at + 1] = static_cast<char>(v >> 8);
    }

    static void Put32(std::string& s, size_t at, std::uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            s[at + static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
    }

private:
    std::vector<FieldSpec> m_fields;
    std::vector<std::string> m_records;
    std::string m_afterTerminator;
    std::uint8_t m_version = 0x03;
    std::uint8_t m_languageDriver = 0;
    std::uint8_t m_tableFlags = 0;
    std::uint32_t m_recordCount = 0;
    std::uint16_t m_headerLength = 0;
    std::uint16_t m_recordLength = 0;
    size_t m_truncate = 0;
    std::uint64_t m_sparse = 0;
    bool m_recordCountSet = false;
    bool m_headerLengthSet = false;
    bool m_recordLengthSet = false;
    bool m_truncateSet = false;
    bool m_descriptors32 = false;
};

// Bytes written with \x escapes, for readable stored values in tests.
inline std::string Bytes(std::initializer_list<int> values)
{
    std::string s;
    for (int v : values)
        s += static_cast<char>(v);
    return s;
}

// Bytes written as hexadecimal digits, two a byte: "0c000000".
inline std::string Hex(const std::string& digits)
{
    std::string s;
    for (size_t i = 0; i + 1 < digits.size(); i += 2)
        s += static_cast<char>(std::stoi(digits.substr(i, 2), nullptr, 16));
    return s;
}

} // namespace testing_support
