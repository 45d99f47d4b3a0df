#include "framework/Archive.h"

#include <algorithm>
#include <bit>
#include <limits>

namespace {

// Prefix values with a meaning of their own.
constexpr unsigned kByteEscape = 0xFF;    // a 16-bit length follows
constexpr unsigned kUtf16Marker = 0xFFFE; // a UTF-16 string follows
constexpr unsigned kWordEscape = 0xFFFF;  // a 32-bit length or count follows

void RequireStoring(bool storing) {
    if (!storing) {
        throw std::logic_error("Archive: store operation on a loading archive");
    }
}

void RequireLoading(bool storing) {
    if (storing) {
        throw std::logic_error("Archive: load operation on a storing archive");
    }
}

std::uint32_t CheckedUInt32(std::size_t value, const char* what) {
    if (value > std::numeric_limits<std::uint32_t>::max()) {
        throw ArchiveException(std::string("Archive: ") + what + " too large to store");
    }
    return static_cast<std::uint32_t>(value);
}

void AppendUtf8(std::string& out, std::uint32_t codePoint) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

bool IsHighSurrogate(std::uint32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(std::uint32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// UTF-16 (little-endian units) to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(const char* bytes, std::size_t units) {
    const auto unitAt = [bytes](std::size_t i) {
        const auto* p = reinterpret_cast<const unsigned char*>(bytes) + 2 * i;
        return static_cast<std::uint32_t>(p[0] | (p[1] << 8));
    };
    std::string out;
    out.reserve(units);
    for (std::size_t i = 0; i < units; ++i) {
        const std::uint32_t unit = unitAt(i);
        if (IsHighSurrogate(unit) && i + 1 < units && IsLowSurrogate(unitAt(i + 1))) {
            AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (unitAt(i + 1) - 0xDC00));
            ++i;
        } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            AppendUtf8(out, 0xFFFD);
        } else {
            AppendUtf8(out, unit);
        }
    }
    return out;
}

} // namespace

Archive Archive::ForStoring() {
    return Archive(true);
}

Archive Archive::ForLoading(std::string_view data) {
    Archive archive(false);
    archive.m_data = data;
    return archive;
}

// ---- Storing ---------------------------------------------------------------------------------

void Archive::WriteUInt16(std::uint16_t value) {
    RequireStoring(m_storing);
    m_buffer += static_cast<char>(value & 0xFF);
    m_buffer += static_cast<char>(value >> 8);
}

void Archive::WriteUInt32(std::uint32_t value) {
    RequireStoring(m_storing);
    for (int shift = 0; shift < 32; shift += 8) {
        m_buffer += static_cast<char>((value >> shift) & 0xFF);
    }
}

void Archive::WriteInt32(std::int32_t value) {
    WriteUInt32(static_cast<std::uint32_t>(value));
}

void Archive::WriteDouble(double value) {
    RequireStoring(m_storing);
    const auto bits = std::bit_cast<std::uint64_t>(value);
    for (int shift = 0; shift < 64; shift += 8) {
        m_buffer += static_cast<char>((bits >> shift) & 0xFF);
    }
}

void Archive::WriteString(std::string_view text) {
    RequireStoring(m_storing);
    const std::uint32_t length = CheckedUInt32(text.size(), "string");
    if (length < kByteEscape) {
        m_buffer += static_cast<char>(length);
    } else if (length < kUtf16Marker) {
        m_buffer += static_cast<char>(kByteEscape);
        WriteUInt16(static_cast<std::uint16_t>(length));
    } else {
        // 0xFFFE and 0xFFFF are markers in the 16-bit field, so those lengths take the long form.
        m_buffer += static_cast<char>(kByteEscape);
        WriteUInt16(static_cast<std::uint16_t>(kWordEscape));
        WriteUInt32(length);
    }
    m_buffer.append(text);
}

void Archive::WriteCount(std::size_t count) {
    RequireStoring(m_storing);
    const std::uint32_t value = CheckedUInt32(count, "count");
    if (value < kWordEscape) {
        WriteUInt16(static_cast<std::uint16_t>(value));
    } else {
        WriteUInt16(static_cast<std::uint16_t>(kWordEscape));
        WriteUInt32(value);
    }
}

void Archive::WriteDoubleArray(const std::vector<double>& values) {
    WriteCount(values.size());
    for (const double v : values) {
        WriteDouble(v);
    }
}

void Archive::WriteWordArray(const std::vector<std::uint16_t>& values) {
    WriteCount(values.size());
    for (const std::uint16_t v : values) {
        WriteUInt16(v);
    }
}

// ---- Loading ---------------------------------------------------------------------------------

const char* Archive::Take(std::size_t n) {
    RequireLoading(m_storing);
    if (n > Remaining()) {
        throw ArchiveException("Archive: unexpected end of data");
    }
    const char* p = m_data.data() + m_pos;
    m_pos += n;
    return p;
}

std::uint16_t Archive::ReadUInt16() {
    const auto* p = reinterpret_cast<const unsigned char*>(Take(2));
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t Archive::ReadUInt32() {
    const auto* p = reinterpret_cast<const unsigned char*>(Take(4));
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value = (value << 8) | p[i];
    }
    return value;
}

std::int32_t Archive::ReadInt32() {
    return static_cast<std::int32_t>(ReadUInt32());
}

double Archive::ReadDouble() {
    const auto* p = reinterpret_cast<const unsigned char*>(Take(8));
    std::uint64_t bits = 0;
    for (int i = 7; i >= 0; --i) {
        bits = (bits << 8) | p[i];
    }
    return std::bit_cast<double>(bits);
}

// The count of units in a UTF-16 string: a byte, 0xFF + 16 bits, or 0xFF 0xFFFF + 32 bits.
std::size_t Archive::ReadStringLength() {
    const auto first = static_cast<unsigned char>(*Take(1));
    if (first < kByteEscape) {
        return first;
    }
    const std::uint16_t word = ReadUInt16();
    if (word < kWordEscape) {
        return word;
    }
    return ReadUInt32();
}

std::string Archive::ReadString() {
    std::size_t length = static_cast<unsigned char>(*Take(1));
    if (length == kByteEscape) {
        const std::uint16_t word = ReadUInt16();
        if (word == kUtf16Marker) {
            const std::size_t units = ReadStringLength();
            // Take() checks the size against the data before anything is allocated.
            const char* bytes = Take(2 * units);
            return Utf16ToUtf8(bytes, units);
        }
        length = word == kWordEscape ? ReadUInt32() : word;
    }
    const char* bytes = Take(length);
    return std::string(bytes, length);
}

std::size_t Archive::ReadCount(std::size_t elementSize) {
    std::size_t count = ReadUInt16();
    if (count == kWordEscape) {
        count = ReadUInt32();
    }
    // Every element stored in a file takes at least one byte.
    const std::size_t size = std::max<std::size_t>(elementSize, 1);
    if (count > Remaining() / size) {
        throw ArchiveException("Archive: count exceeds the data");
    }
    return count;
}

std::vector<double> Archive::ReadDoubleArray() {
    const std::size_t count = ReadCount(sizeof(double));
    std::vector<double> values;
    values.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        values.push_back(ReadDouble());
    }
    return values;
}

std::vector<std::uint16_t> Archive::ReadWordArray() {
    const std::size_t count = ReadCount(sizeof(std::uint16_t));
    std::vector<std::uint16_t> values;
    values.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        values.push_back(ReadUInt16());
    }
    return values;
}
