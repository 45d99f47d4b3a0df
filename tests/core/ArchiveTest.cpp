#include "framework/Archive.h"

#include <cmath>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

std::string Bytes(std::initializer_list<int> values) {
    std::string out;
    for (const int v : values) {
        out += static_cast<char>(v);
    }
    return out;
}

} // namespace

TEST(Archive, StringPrefixesRoundTrip) {
    const std::pair<std::size_t, std::string> cases[] = {
        {0, Bytes({0x00})},
        {254, Bytes({0xFE})},
        {255, Bytes({0xFF, 0xFF, 0x00})},
        {65533, Bytes({0xFF, 0xFD, 0xFF})},
        {65534, Bytes({0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00})},
        {65535, Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00})},
        {70000, Bytes({0xFF, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00})},
    };
    for (const auto& [length, prefix] : cases) {
        SCOPED_TRACE(length);
        std::string text(length, 'x');
        for (std::size_t i = 0; i < text.size(); ++i) {
            text[i] = static_cast<char>('a' + i % 26);
        }
        auto out = Archive::ForStoring();
        out.WriteString(text);
        out.WriteInt32(-2);
        ASSERT_EQ(out.Buffer().size(), prefix.size() + length + 4);
        EXPECT_EQ(out.Buffer().substr(0, prefix.size()), prefix);

        auto in = Archive::ForLoading(out.Buffer());
        EXPECT_EQ(in.ReadString(), text);
        EXPECT_EQ(in.ReadInt32(), -2);
        EXPECT_EQ(in.Remaining(), 0u);
    }
}

TEST(Archive, Utf16StringsDecodeToUtf8) {
    const std::pair<std::string, std::string> cases[] = {
        // "a", "é", U+1F600 as a surrogate pair.
        {Bytes({0xFF, 0xFE, 0xFF, 0x04, 'a', 0, 0xE9, 0, 0x3D, 0xD8, 0x00, 0xDE}),
         "a\xC3\xA9\xF0\x9F\x98\x80"},
        // A lone high surrogate before a letter, a lone low one at the end.
        {Bytes({0xFF, 0xFE, 0xFF, 0x03, 0x3D, 0xD8, 'b', 0, 0x00, 0xDE}), "\xEF\xBF\xBD"
                                                                          "b\xEF\xBF\xBD"},
        // The unit count in its 0xFF + 16-bit form.
        {Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0x01, 0x00, 0xAC, 0x20}), "\xE2\x82\xAC"},
    };
    for (const auto& [data, text] : cases) {
        auto in = Archive::ForLoading(data);
        EXPECT_EQ(in.ReadString(), text);
        EXPECT_EQ(in.Remaining(), 0u);
    }
}

TEST(Archive, CountsArraysAndNumbers) {
    auto out = Archive::ForStoring();
    out.WriteCount(0xFFFF);
    out.WriteDouble(7.8e-07);
    out.WriteDouble(0.01);
    out.WriteInt32(-2);
    EXPECT_EQ(out.Buffer(), Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00,             // count
                                   0xE7, 0x2A, 0xAB, 0x23, 0x26, 0x2C, 0xAA, 0x3E, // 7.8e-07
                                   0x7B, 0x14, 0xAE, 0x47, 0xE1, 0x7A, 0x84, 0x3F, // 0.01
                                   0xFE, 0xFF, 0xFF, 0xFF}));                      // -2
    std::string data = out.Buffer();
    data.append(0xFFFF - 20, '\0');
    auto in = Archive::ForLoading(data);
    EXPECT_EQ(in.ReadCount(1), 0xFFFFu);
    EXPECT_EQ(in.ReadDouble(), 7.8e-07);
    EXPECT_EQ(in.ReadDouble(), 0.01);
    EXPECT_EQ(in.ReadInt32(), -2);

    out = Archive::ForStoring();
    const std::vector<double> doubles = {1.5, -0.0, 1e300};
    const std::vector<std::uint16_t> words = {0, 1, 0xFFFF};
    out.WriteDoubleArray(doubles);
    out.WriteWordArray(words);
    auto arrays = Archive::ForLoading(out.Buffer());
    EXPECT_EQ(arrays.ReadDoubleArray(), doubles);
    EXPECT_EQ(arrays.ReadWordArray(), words);
    EXPECT_EQ(arrays.Remaining(), 0u);
}

TEST(Archive, TruncatedDataThrowsAtEveryCut) {
    auto out = Archive::ForStoring();
    out.WriteInt32(7);
    out.WriteString("hello");
    out.WriteString(std::string(300, 'z'));
    out.WriteDoubleArray({1.0, 2.0});
    out.WriteWordArray({3, 4, 5});
    out.WriteString("");
    const std::string data = out.Buffer() + Bytes({0xFF, 0xFE, 0xFF, 0x02, 'a', 0, 'b', 0});
    const auto readAll = [](Archive& in) {
        in.ReadInt32();
        in.ReadString();
        in.ReadString();
        in.ReadDoubleArray();
        in.ReadWordArray();
        in.ReadString();
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

TEST(Archive, ExcessivePrefixesThrowBeforeAllocating) {
    const std::string cases[] = {
        // 4 GB announced in 10 bytes, as bytes and as UTF-16 units.
        Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 'a', 'b', 'c'}),
        Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}),
        Bytes({0xFF, 0xFD, 0xFF, 'a'}),
    };
    for (const auto& data : cases) {
        auto in = Archive::ForLoading(data);
        EXPECT_THROW(in.ReadString(), ArchiveException);
    }
    // Counts are checked against the element size: 2 doubles do not fit 15 bytes.
    const std::string counted = Bytes({0x02, 0x00}) + std::string(15, '\0');
    auto doubles = Archive::ForLoading(counted);
    EXPECT_THROW(doubles.ReadDoubleArray(), ArchiveException);
    const std::string hugeCount = Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 1, 2, 3, 4});
    auto words = Archive::ForLoading(hugeCount);
    EXPECT_THROW(words.ReadWordArray(), ArchiveException);
}

TEST(Archive, WrongDirectionIsALogicError) {
    auto out = Archive::ForStoring();
    EXPECT_THROW(out.ReadInt32(), std::logic_error);
    EXPECT_THROW(out.ReadString(), std::logic_error);
    const std::string data = Bytes({1, 2, 3, 4});
    auto in = Archive::ForLoading(data);
    EXPECT_THROW(in.WriteInt32(1), std::logic_error);
    EXPECT_THROW(in.WriteString("x"), std::logic_error);
    EXPECT_EQ(in.Remaining(), 4u);
}
