// The .lcp profile file: exact bytes of what is written, old versions read, bad files refused
// without touching the document, and saves that never destroy the old file.
#include "framework/Archive.h"
#include "support/ProfileFixture.h"

#include <sys/stat.h>

namespace {

const std::string kData = TESSARON_TEST_DATA;
const std::string kUnexpected = "Unexpected file format.";

using ProfileFileTest = ProfileFixture;

TEST_F(ProfileFileTest, DefaultProfileIsWrittenByteForByte) {
    CTessaronDoc& d = NewDoc();
    const std::string path = dir.File("default.lcp");
    ASSERT_TRUE(d.OnSaveDocument(path));
    const std::string bytes = TempDir::Read(path);
    ASSERT_EQ(bytes.size(), 2168u);
    EXPECT_EQ(bytes, TempDir::Read(kData + "/default-v2.lcp"));
    EXPECT_EQ(bytes.substr(60, 8), std::string("\x7B\x14\xAE\x47\xE1\x7A\x84\x3F", 8));
    EXPECT_EQ(d.GetTitle(), "default.lcp");
    EXPECT_FALSE(d.IsModified());
}

TEST_F(ProfileFileTest, LongPathsTakeTheLongerLengthPrefixes) {
    struct Case {
        std::size_t length;
        std::string prefix;
    };
    for (const auto& c : {Case{254, "\xFE"}, Case{255, std::string("\xFF\xFF\x00", 3)}}) {
        CTessaronDoc& d = NewDoc();
        d.m_strCorrectionPath = std::string(c.length, 'p');
        Archive ar = Archive::ForStoring();
        d.Serialize(ar);
        EXPECT_EQ(ar.Buffer().substr(100, c.prefix.size()), c.prefix);
        EXPECT_EQ(ar.Buffer().size(), 2168u + c.length + c.prefix.size() - 1);
    }
}

TEST_F(ProfileFileTest, EveryFieldSurvivesSaveAndOpen) {
    CTessaronDoc& d = NewDoc();
    d.m_nCreationMode = 1;
    d.m_dDiopters = -2.5;
    d.m_dWaveLength = 6.33e-07;
    d.m_dCoeff = {1.0, -0.5, 0.01, 2e-05};
    d.m_bUseAperture = 1;
    d.m_dAperture = 0.004;
    d.m_dMaxPhase = 6.0;
    d.m_dLowLimit = 0.5;
    d.m_dHighLimit = 5.5;
    d.m_nDacDigits = 12;
    d.m_nElements = 3;
    d.m_strCorrectionPath = "/lab/tables/lc-12.txt";
    d.m_nMaxJumps = -3;
    d.m_bLimitJumps = 1;
    d.m_bMinVoltage = 1;
    d.m_strNote = "first line\r\nsecond line";
    d.m_phase = {0.1, 5.999999999999999, 0.0};
    const std::string path = dir.File("all.lcp");
    ASSERT_TRUE(d.OnSaveDocument(path));

    CTessaronDoc loaded(context);
    ASSERT_TRUE(loaded.OnOpenDocument(path));
    EXPECT_EQ(loaded.m_nCreationMode, 1);
    EXPECT_EQ(loaded.m_dDiopters, -2.5);
    EXPECT_EQ(loaded.m_dWaveLength, 6.33e-07);
    EXPECT_EQ(loaded.m_dCoeff, d.m_dCoeff);
    EXPECT_EQ(loaded.m_bUseAperture, 1);
    EXPECT_EQ(loaded.m_dAperture, 0.004);
    EXPECT_EQ(loaded.m_dMaxPhase, 6.0);
    EXPECT_EQ(loaded.m_dLowLimit, 0.5);
    EXPECT_EQ(loaded.m_dHighLimit, 5.5);
    EXPECT_EQ(loaded.m_nDacDigits, 12);
    EXPECT_EQ(loaded.m_nElements, 3);
    EXPECT_EQ(loaded.m_strCorrectionPath, d.m_strCorrectionPath);
    EXPECT_EQ(loaded.m_nMaxJumps, -3);
    EXPECT_EQ(loaded.m_bLimitJumps, 1);
    EXPECT_EQ(loaded.m_bMinVoltage, 1);
    EXPECT_EQ(loaded.m_strNote, d.m_strNote);
    EXPECT_EQ(loaded.m_phase, d.m_phase);
    EXPECT_EQ(loaded.GetPathName(), path);
    EXPECT_FALSE(loaded.IsModified());
}

TEST_F(ProfileFileTest, VersionOneKeepsNumbersAsTextAndHasNoLimits) {
    CTessaronDoc d(context);
    ASSERT_TRUE(d.OnOpenDocument(kData + "/profile-v1.lcp"));
    EXPECT_EQ(d.m_dDiopters, 2.5);
    EXPECT_EQ(d.m_dWaveLength, 6.33e-07);
    EXPECT_EQ(d.m_dCoeff, (std::array<double, 4>{0.5, -1.25, 0.01, 2e-05}));
    EXPECT_EQ(d.m_bUseAperture, 1);
    EXPECT_EQ(d.m_dAperture, 0.004);
    EXPECT_EQ(d.m_dMaxPhase, 6.0);
    EXPECT_EQ(d.m_dLowLimit, 0.0);
    EXPECT_EQ(d.m_dHighLimit, 6.0);
    EXPECT_EQ(d.m_nDacDigits, 12);
    EXPECT_EQ(d.m_nElements, 4);
    EXPECT_EQ(d.m_nMaxJumps, 2);
    EXPECT_EQ(d.m_bLimitJumps, 1);
    EXPECT_EQ(d.m_strNote, "v1 note");
    EXPECT_EQ(d.m_phase, (std::vector<double>{0.5, 1.0, 1.5, 2.0}));

    // Saved again it becomes a version 2 file with the limits written out.
    const std::string path = dir.File("upgraded.lcp");
    ASSERT_TRUE(d.OnSaveDocument(path));
    const std::string bytes = TempDir::Read(path);
    EXPECT_EQ(bytes.substr(0, 4), std::string("\x02\x00\x00\x00", 4));
}

TEST_F(ProfileFileTest, ShortArrayOpensAsStored) {
    CTessaronDoc d(context);
    ASSERT_TRUE(d.OnOpenDocument(kData + "/short-array-v2.lcp"));
    EXPECT_EQ(d.m_nElements, 8);
    EXPECT_EQ(d.m_phase, (std::vector<double>{1.0, 2.0, 3.0}));
}

// A file that does not load is refused with one message and leaves the document untouched.
TEST_F(ProfileFileTest, BadFilesAreRefusedAndChangeNothing) {
    const std::string good = TempDir::Read(kData + "/default-v2.lcp");
    std::string hugeCount = good.substr(0, good.size() - 256 * 8 - 2);
    hugeCount += std::string("\xFF\xFF\xFF\xFF\xFF\x7F", 6); // 0x7FFFFFFF values announced
    std::string hugeNote = good.substr(0, 100);
    hugeNote += std::string(1 + 4 * 4, '\0');                   // empty path, four int32 fields
    hugeNote += std::string("\xFF\xFF\xFF\x00\x00\x00\x40", 7); // a 1 GiB note
    struct Case {
        const char* name;
        std::string bytes;
    };
    std::vector<Case> cases = {
        {"version 3", TempDir::Read(kData + "/profile-v3.lcp")},
        {"empty file", ""},
        {"array count beyond the end", hugeCount},
        {"string length beyond the end", hugeNote},
    };
    for (std::size_t cut = 1; cut < good.size(); cut += 97) {
        cases.push_back({"cut short", good.substr(0, cut)});
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.File("bad.lcp");
        TempDir::Write(path, c.bytes);
        CTessaronDoc& d = NewDoc();
        d.m_strNote = "kept";
        d.m_phase = {1.0, 2.0};
        prompter.shown.clear();
        prompter.QueueAnswer(IDOK);
        EXPECT_FALSE(d.OnOpenDocument(path));
        EXPECT_EQ(Messages(), std::vector<std::string>{kUnexpected});
        EXPECT_EQ(d.m_strNote, "kept");
        EXPECT_EQ(d.m_phase, (std::vector<double>{1.0, 2.0}));
        EXPECT_EQ(d.m_nElements, 256);
        EXPECT_TRUE(d.GetPathName().empty());
    }
}

TEST_F(ProfileFileTest, MissingFileFailsToOpen) {
    CTessaronDoc d(context);
    prompter.QueueAnswer(IDOK);
    EXPECT_FALSE(d.OnOpenDocument(dir.File("absent.lcp")));
    EXPECT_EQ(Messages(), std::vector<std::string>{"Failed to open document."});
}

TEST_F(ProfileFileTest, FailedSaveKeepsTheOldFile) {
    CTessaronDoc& d = NewDoc();
    const std::string path = dir.File("kept.lcp");
    TempDir::Write(path, "old contents");
    // A folder where the temporary file would go cannot hold it: the path's folder is a file.
    const std::string blocked = path + "/inner.lcp";
    prompter.QueueAnswer(IDOK);
    EXPECT_FALSE(d.OnSaveDocument(blocked));
    EXPECT_EQ(Messages(), std::vector<std::string>{"Failed to save document."});
    EXPECT_EQ(TempDir::Read(path), "old contents");
    EXPECT_TRUE(d.GetPathName().empty());

    // Saving over the file itself replaces it completely.
    ASSERT_TRUE(d.OnSaveDocument(path));
    EXPECT_EQ(TempDir::Read(path).size(), 2168u);
}

} // namespace
