// The .lcp profile file: exact bytes of what is written, old versions read, bad files refused
// without touching the document, and saves that never destroy the old file.
#include "support/ProfileFixture.h"

#include <filesystem>

namespace {

const std::string kData = TESSARON_TEST_DATA;

using ProfileFileTest = ProfileFixture;

// The reference file was made by hand from the layout: it pins every default of File New too.
TEST_F(ProfileFileTest, NewProfileIsWrittenByteForByte) {
    const std::string path = dir.File("default.lcp");
    ASSERT_TRUE(NewDoc().OnSaveDocument(path));
    EXPECT_EQ(TempDir::Read(path), TempDir::Read(kData + "/default-v2.lcp"));
    EXPECT_FALSE(doc->IsModified());
}

// Version 1 kept some numbers as text and had no limits: the window becomes [0, max phase].
TEST_F(ProfileFileTest, VersionOneOpensAndEveryFieldSurvivesSaveAndOpen) {
    CTessaronDoc& d = *doc;
    ASSERT_TRUE(d.OnOpenDocument(kData + "/profile-v1.lcp"));
    EXPECT_EQ(std::tuple(d.WaveLength(), d.Aperture(), d.MaxPhase(), d.LowLimit(), d.HighLimit(),
                         d.MaxJumps(), d.Note()),
              std::make_tuple(6.33e-07, 0.004, 6.0, 0.0, 6.0, 2, "v1 note"));
    EXPECT_EQ(d.Coeff(), (std::array<double, 4>{0.5, -1.25, 0.01, 2e-05}));
    EXPECT_EQ(d.Phase(), (std::vector<double>{0.5, 1.0, 1.5, 2.0}));
    // Saved as version 2 with every field a value of its own, so that a field read into the
    // wrong place or not at all makes the next save differ.
    std::tie(DocFields(d).m_nCreationMode, DocFields(d).m_bUseAperture, DocFields(d).m_bLimitJumps,
             DocFields(d).m_bMinVoltage, DocFields(d).m_nMaxJumps, DocFields(d).m_dLowLimit,
             DocFields(d).m_dHighLimit, DocFields(d).m_strCorrectionPath, DocFields(d).m_strNote) =
        std::make_tuple(1, 3, 4, 5, -3, 0.5, 5.5, "/lab/tables/lc-12.txt",
                        "first line\r\nsecond line");
    DocFields(d).m_phase.back() = 5.999999999999999;
    ASSERT_TRUE(d.OnSaveDocument(dir.File("first.lcp")));
    const std::string first = TempDir::Read(dir.File("first.lcp"));
    EXPECT_EQ(first.substr(0, 4), std::string("\2\0\0\0", 4));
    CTessaronDoc loaded(context);
    ASSERT_TRUE(loaded.OnOpenDocument(dir.File("first.lcp")));
    EXPECT_TRUE(loaded.Note() == d.Note() && !loaded.IsModified());
    ASSERT_TRUE(loaded.OnSaveDocument(dir.File("second.lcp")));
    EXPECT_EQ(TempDir::Read(dir.File("second.lcp")), first);
    // A data array shorter than the element count opens as stored.
    ASSERT_TRUE(d.OnOpenDocument(kData + "/short-array-v2.lcp"));
    EXPECT_EQ(std::tuple(d.Elements(), d.Phase()), std::tuple(8, std::vector<double>{1, 2, 3}));
}

// A file that does not load is refused with one message and leaves the document untouched.
TEST_F(ProfileFileTest, BadFilesAreRefusedAndChangeNothing) {
    const std::string good = TempDir::Read(kData + "/default-v2.lcp");
    std::string hugeCount = good.substr(0, good.size() - 256 * 8 - 2);
    hugeCount += std::string("\xFF\xFF\xFF\xFF\xFF\x7F", 6); // 0x7FFFFFFF values announced
    std::string hugeNote = good.substr(0, 100);
    hugeNote += std::string(1 + 4 * 4, '\0');                   // empty path, four int32 fields
    hugeNote += std::string("\xFF\xFF\xFF\x00\x00\x00\x40", 7); // a 1 GiB note
    const std::string unexpected = "Unexpected file format.";
    // clang-format off
    std::vector<std::pair<std::optional<std::string>, std::string>> cases = {
        {std::nullopt, "Failed to open document."}, {"", unexpected}, {hugeCount, unexpected},
        {TempDir::Read(kData + "/profile-v3.lcp"), unexpected}, {hugeNote, unexpected}};
    // clang-format on
    for (std::size_t cut = 1; cut < good.size(); cut += 97) {
        cases.push_back({good.substr(0, cut), unexpected});
    }
    prompter.ExpectMessages();
    const std::string path = dir.File("bad.lcp");
    for (const auto& [bytes, message] : cases) {
        std::filesystem::remove(path);
        if (bytes) {
            TempDir::Write(path, *bytes);
        }
        CTessaronDoc& d = NewDoc();
        DocFields(d).m_strNote = "kept";
        DocFields(d).m_phase = {1.0, 2.0};
        EXPECT_FALSE(d.OnOpenDocument(path));
        EXPECT_EQ(Messages(), std::vector<std::string>{message}) << bytes.value_or("-").size();
        EXPECT_EQ(std::tuple(d.Note(), d.Phase(), d.Elements(), d.GetPathName()),
                  std::tuple("kept", std::vector<double>{1.0, 2.0}, 256, ""));
    }
}

TEST_F(ProfileFileTest, FailedSaveKeepsTheOldFile) {
    CTessaronDoc& d = NewDoc();
    const std::string path = dir.File("kept.lcp");
    TempDir::Write(path, "old contents");
    // The temporary file cannot be made: the target's folder is a file.
    prompter.ExpectMessages();
    EXPECT_FALSE(d.OnSaveDocument(path + "/inner.lcp"));
    EXPECT_EQ(Messages(), std::vector<std::string>{"Failed to save document."});
    EXPECT_EQ(TempDir::Read(path), "old contents");
    EXPECT_TRUE(d.GetPathName().empty());
    // Saving over the file itself replaces it completely.
    ASSERT_TRUE(d.OnSaveDocument(path));
    EXPECT_EQ(TempDir::Read(path).size(), 2168u);
}

} // namespace
