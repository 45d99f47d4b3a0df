// The binary archive: length prefixes, numbers as stored bytes, and data that end early or
// announce more than they hold.
#include "framework/Archive.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

std::string Bytes(std::initializer_list<int> values) {
    return std::string(values.begin(), values.end());
}

// The prefix grows at 255 and at 65534 bytes (0xFFFE would announce UTF-16 text).
TEST(Archive, StringPrefixesRoundTrip) {
    using namespace std::string_literals;
    // clang-format off
    const std::pair<std::size_t, std::string> cases[] = {
        {0, "\0"s}, {254, "\xFE"s}, {255, "\xFF\xFF\0"s}, {65533, "\xFF\xFD\xFF"s},
        {65534, "\xFF\xFF\xFF\xFE\xFF\0\0"s}, {70000, "\xFF\xFF\xFF\x70\x11\x01\0"s}};
    // clang-format on
    for (const auto& [length, prefix] : cases) {
        const std::string text(length, 'x');
        auto out = Archive::ForStoring();
        out.WriteString(text);
        out.WriteInt32(-2);
        EXPECT_EQ(out.Buffer(), prefix + text + Bytes({0xFE, 0xFF, 0xFF, 0xFF})) << length;
        auto in = Archive::ForLoading(out.Buffer());
        EXPECT_EQ(in.ReadString(), text);
        EXPECT_TRUE(in.ReadInt32() == -2 && in.Remaining() == 0);
    }
}

// UTF-16 strings (prefix 0xFF 0xFFFE) are read as UTF-8; a length beyond the data throws
// before anything is allocated.
TEST(Archive, ReadsUtf16AndRefusesExcessiveLengths) {
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        // "a", "é", U+1F600 as a surrogate pair.
        {Bytes({0xFF, 0xFE, 0xFF, 0x04, 'a', 0, 0xE9, 0, 0x3D, 0xD8, 0x00, 0xDE}),
         "a\xC3\xA9\xF0\x9F\x98\x80"},
        // A lone high surrogate before a letter, a lone low one at the end.
        {Bytes({0xFF, 0xFE, 0xFF, 0x03, 0x3D, 0xD8, 'b', 0, 0x00, 0xDE}), "\xEF\xBF\xBD"
                                                                          "b\xEF\xBF\xBD"},
        // The unit count in its 0xFF + 16-bit form.
        {Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0x01, 0x00, 0xAC, 0x20}), "\xE2\x82\xAC"},
        // 4 GB announced in 10 bytes, as bytes and as UTF-16 units; 65533 bytes in 1.
        {Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 'a', 'b', 'c'}), std::nullopt},
        {Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}), std::nullopt},
        {Bytes({0xFF, 0xFD, 0xFF, 'a'}), std::nullopt}};
    for (const auto& [data, text] : cases) {
        auto in = Archive::ForLoading(data);
        if (text) {
            EXPECT_EQ(in.ReadString(), *text);
            EXPECT_EQ(in.Remaining(), 0u);
        } else {
            EXPECT_THROW(in.ReadString(), ArchiveException);
        }
    }
}

// Numbers are stored little-endian; a count of 0xFFFF or more takes the escaped 32-bit form.
TEST(Archive, NumbersAndArrays) {
    auto out = Archive::ForStoring();
    out.WriteCount(0xFFFF);
    out.WriteDouble(7.8e-07);
    out.WriteInt32(-2);
    EXPECT_EQ(out.Buffer(), Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00,             // count
                                   0xE7, 0x2A, 0xAB, 0x23, 0x26, 0x2C, 0xAA, 0x3E, // 7.8e-07
                                   0xFE, 0xFF, 0xFF, 0xFF}));                      // -2
    out = Archive::ForStoring();
    const std::vector<double> doubles = {1.5, -0.0, 1e300};
    const std::vector<std::uint16_t> words(0x10000, 0xFFFF);
    out.WriteDoubleArray(doubles);
    out.WriteWordArray(words);
    auto in = Archive::ForLoading(out.Buffer());
    EXPECT_EQ(in.ReadDoubleArray(), doubles);
    EXPECT_TRUE(in.ReadWordArray() == words && in.Remaining() == 0);
}

// Data cut anywhere throw instead of reading past their end.
TEST(Archive, TruncatedDataThrowsAtEveryCut) {
    auto out = Archive::ForStoring();
    out.WriteInt32(7);
    out.WriteString(std::string(300, 'z'));
    out.WriteDoubleArray({1.0, 2.0});
    out.WriteWordArray({3, 4, 5});
    const std::string data = out.Buffer() + Bytes({0xFF, 0xFE, 0xFF, 0x02, 'a', 0, 'b', 0});
    const auto readAll = [](Archive& in) {
        in.ReadInt32();
        in.ReadString();
        in.ReadDoubleArray();
        in.ReadWordArray();
        in.ReadString(); // UTF-16
    };
    auto whole = Archive::ForLoading(data);
    EXPECT_NO_THROW(readAll(whole));
    for (std::size_t cut = 0; cut < data.size(); ++cut) {
        // A copy of exactly `cut` bytes, so that the sanitizer sees any read past its end.
        const std::string part = data.substr(0, cut);
        auto in = Archive::ForLoading(part);
        EXPECT_THROW(readAll(in), ArchiveException) << cut;
    }
}

// Counts are checked against the element size before anything is allocated.
TEST(Archive, ExcessiveCountsThrow) {
    const std::string twoDoubles = Bytes({0x02, 0x00}) + std::string(15, '\0'); // 16 bytes needed
    auto doubles = Archive::ForLoading(twoDoubles);
    EXPECT_THROW(doubles.ReadCount(sizeof(double)), ArchiveException);
    const std::string hugeCount = Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 1, 2, 3, 4});
    auto words = Archive::ForLoading(hugeCount);
    EXPECT_THROW(words.ReadWordArray(), ArchiveException);
}

} // namespace
