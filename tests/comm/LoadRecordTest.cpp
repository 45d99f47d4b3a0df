// The record of loads' file handling and digests: what a person or another program finds in
// the file after appends, damaged lines and digests of known inputs.
#include "comm/LoadRecord.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace {

TEST(LoadRecord, DigestsAreSha256OfTheBytesAsSent) {
    // The FIPS 180 example "abc", and the codes 0x0201 0x0403 sent low byte first.
    EXPECT_EQ(sha256::Hex("abc"),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(sha256::OfCodes({0x0201, 0x0403}), sha256::Hex("\x01\x02\x03\x04"));
    TempDir dir;
    TempDir::Write(dir.File("f"), "abc");
    EXPECT_EQ(sha256::OfFile(dir.File("f")), sha256::Hex("abc"));
    int error = 0;
    EXPECT_FALSE(sha256::OfFile(dir.File("missing"), &error));
    EXPECT_EQ(error, ENOENT);
}

TEST(LoadRecord, AppendsWholeLinesAndReadsBackOnlyRecords) {
    TempDir dir;
    const std::string path = dir.File(loadrecord::kFileName);
    EXPECT_EQ(loadrecord::PathBeside(dir.File("link.log")), path);
    // A line cut off by a program that died while writing keeps apart from the next one.
    TempDir::Write(path, "{\"result\":\"done\"}\n{\"result\":\"do");
    EXPECT_EQ(loadrecord::Append(path, R"({"result":"failed","message":"x\ny"})"), 0);
    const auto listing = loadrecord::Read(path);
    ASSERT_TRUE(listing);
    ASSERT_EQ(listing->records.size(), 2u);
    EXPECT_EQ(listing->records[1]["message"], "x\ny");
    EXPECT_EQ(listing->problems, std::vector<std::string>{path + ": line 2 is not a load record"});
    // Never into something that is not a regular file.
    EXPECT_EQ(loadrecord::Append(dir.Path(), "{}"), EISDIR);
    EXPECT_EQ(loadrecord::Append("/dev/null", "{}"), EINVAL);
}

TEST(LoadRecord, JsonNumbersAreExactAndNonFiniteValuesNamed) {
    const FieldList fields{{"a", 0.1},
                           {"b", std::numeric_limits<double>::quiet_NaN()},
                           {"c", -std::numeric_limits<double>::infinity()},
                           {"d", std::int64_t{7}},
                           {"e", true},
                           {"f", std::string("\xe9")}};
    const std::string text = jsonout::Dump(jsonout::Fields(fields));
    EXPECT_EQ(text,
              "{\"a\":0.1,\"b\":\"nan\",\"c\":\"-inf\",\"d\":7,\"e\":true,\"f\":\"\xEF\xBF\xBD\"}");
}

} // namespace
