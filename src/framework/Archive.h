// Binary archive in the little-endian form of the program's document files.
//
// Strings carry a length prefix (one byte below 255; 0xFF + 16-bit length up to 65533;
// 0xFF 0xFFFF + 32-bit length beyond). A reader also accepts the prefix 0xFF 0xFFFE that
// announces a UTF-16 string and converts it to UTF-8; the writer never writes that form.
// Counted arrays carry a 16-bit count, or 0xFFFF followed by a 32-bit count.
//
// A loading archive throws ArchiveException when the data end early or a prefix announces
// more than the data hold, so no reader ever allocates more than the file's size.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

class ArchiveException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Archive {
public:
    // A storing archive appends to an internal buffer.
    static Archive ForStoring();
    // A loading archive reads from `data`, which must outlive the archive.
    static Archive ForLoading(std::string_view data);
    // The archive keeps a view of its input: a temporary string would be gone before the
    // first read.
    static Archive ForLoading(std::string&& data) = delete;

    bool IsStoring() const { return m_storing; }
    bool IsLoading() const { return !m_storing; }

    // Storing.
    void WriteInt32(std::int32_t value);
    void WriteUInt16(std::uint16_t value);
    void WriteDouble(double value);
    void WriteString(std::string_view text);
    void WriteCount(std::size_t count);
    void WriteDoubleArray(const std::vector<double>& values);
    void WriteWordArray(const std::vector<std::uint16_t>& values);
    const std::string& Buffer() const { return m_buffer; }

    // Loading.
    std::int32_t ReadInt32();
    std::uint16_t ReadUInt16();
    double ReadDouble();
    std::string ReadString();
    // A count prefix, checked against the bytes left for elements of `elementSize` bytes.
    std::size_t ReadCount(std::size_t elementSize);
    std::vector<double> ReadDoubleArray();
    std::vector<std::uint16_t> ReadWordArray();
    std::size_t Remaining() const { return m_data.size() - m_pos; }

private:
    explicit Archive(bool storing) : m_storing(storing) {}
    const char* Take(std::size_t n);
    std::uint32_t ReadUInt32();
    std::size_t ReadStringLength();
    void WriteUInt32(std::uint32_t value);

    bool m_storing;
    std::string m_buffer;    // storing
    std::string_view m_data; // loading
    std::size_t m_pos = 0;
};
