// The settings file: private-profile reading and writing that keeps the rest of the file, and
// where it lies.
#include "framework/SettingsStore.h"

#include "framework/AppPaths.h"
#include "support/TempDir.h"

#include <atomic>
#include <climits>
#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

namespace {

using settings::kSection;

class SettingsStoreTest : public ::testing::Test {
protected:
    TempDir dir;
    SettingsStore store{dir.File("t.ini")};
};

// Every case rewrites the file under the same store, which must not remember the last one.
TEST_F(SettingsStoreTest, FindsStoredText) {
    // A file as another system writes it: CR LF line ends, blanks in keys and around values.
    const std::string foreign = "[Settings]\r\nAperture=0.500000\r\nCOM RxTimeout= 250\r\n";
    const std::string quoted = "[Settings]\nK=\" a=b \"\nQ=\"\nE=\n";
    // clang-format off
    const std::tuple<std::string, std::string_view, std::optional<std::string>> cases[] = {
        {foreign, "COM RxTimeout", "250"}, {foreign, "Aperture", "0.500000"},
        {"[settings]\nCOM RXTIMEOUT=7", "com rxtimeout", "7"}, // no final line end
        {"[ Settings ]\n  Freq Line  =  12  \n", "Freq Line", "12"},
        {quoted, "K", " a=b "}, {quoted, "Q", "\""}, {quoted, "E", ""},
        {"[Settings]\n;K=1\nK\nK=2\nK=3\n", "K", "2"}, // comment, odd line, first wins
        {"[Settings]\nA=1\n[T]\nK=0\n[SETTINGS]\nK=3\n", "K", "3"}, // repeated section
        {"K=1\n[Settings]\n", "K", std::nullopt}, // before any section
        {"[Settings]\nK=1\n", "K ", std::nullopt}};
    // clang-format on
    for (const auto& [file, key, expected] : cases) {
        TempDir::Write(store.Path(), file);
        EXPECT_EQ(store.Find(kSection, key), expected) << file;
    }
}

TEST_F(SettingsStoreTest, IntegerAndNumberReadings) {
    // clang-format off
    const std::tuple<std::string, int, double> cases[] = {
        {"-3", -3, -3.0}, {"  42abc", 42, 42.0}, {"abc", 0, 0.01}, {"1e-3xyz", 1, 0.001},
        {"nan", 0, 0.01}, {"0.500000", 0, 0.5}, {" \t+5", 5, 5.0}, {"-", 0, 0.01},
        {"99999999999", INT_MAX, 99999999999.0}, {"-99999999999", INT_MIN, -99999999999.0}};
    // clang-format on
    EXPECT_EQ(store.GetInt(kSection, "K", 17), 17); // no file
    EXPECT_DOUBLE_EQ(store.GetNumber(kSection, "K", "2.5"), 2.5);
    for (const auto& [text, integer, number] : cases) {
        TempDir::Write(store.Path(), "[Settings]\nK=" + text + "\n");
        EXPECT_EQ(store.GetInt(kSection, "K", 17), integer) << text;
        EXPECT_DOUBLE_EQ(store.GetNumber(kSection, "K", "0.01"), number) << text;
    }
    EXPECT_EQ(store.GetInt(kSection, "Missing", 17), 17);
    EXPECT_DOUBLE_EQ(store.GetNumber(kSection, "Missing", "junk"), 0.0);
}

// A write or a removal changes its own line only; the case, blanks, comments and line ends
// of everything else stay as they were.
TEST_F(SettingsStoreTest, WritesAndRemovalsChangeOnlyTheirOwnLine) {
    const auto remove = std::nullopt;
    // file before (none when empty), section, key, value to write (or remove), file after
    using Case = std::tuple<std::string, std::string_view, std::string_view,
                            std::optional<std::string_view>, std::string>;
    const Case cases[] = {
        {"", "Settings", "COM_Port", "3", "[Settings]\nCOM_Port=3\n"},
        {"; lab PC\r\n[Settings]\r\ncom rxtimeout = 250\r\n\r\n[Other]\r\nX=1\r\n", "settings",
         "COM RxTimeout", "5000",
         "; lab PC\r\n[Settings]\r\ncom rxtimeout =5000\r\n\r\n[Other]\r\nX=1\r\n"},
        {"[A]\nx=1\n\n; about B\n[B]\ny=2\n", "a", "z", "3",
         "[A]\nx=1\nz=3\n\n; about B\n[B]\ny=2\n"},
        {"[A]\n[B]\n", "A", "k", "v", "[A]\nk=v\n[B]\n"},
        {"[A]\nx=1", "A", "z", "3", "[A]\nx=1\nz=3\n"},
        {"[A]\nx=1", "B", "k", "v", "[A]\nx=1\n\n[B]\nk=v\n"},
        {"[A]\r\nx=1\r\n\r\n", "B", "k", "v", "[A]\r\nx=1\r\n\r\n[B]\r\nk=v\r\n"},
        {"odd\n[A]\n  K = old  \nK=dup\n", "A", "k", "new", "odd\n[A]\n  K =new\nK=dup\n"},
        {"[A]\n", "A", "k", " padded ", "[A]\nk=\" padded \"\n"},
        {"", "A", "k", remove, ""},
        {"[A]\r\nk=1\r\nj=2\r\n", "A", "k", remove, "[A]\r\nj=2\r\n"},
        {"; k=1\n[A]\nk=1\n[B]\nk=5\n[a]\nK = 2", "A", "k", remove, "; k=1\n[A]\n[B]\nk=5\n[a]\n"}};
    for (const auto& [before, section, key, value, after] : cases) {
        std::filesystem::remove(store.Path());
        if (!before.empty()) {
            TempDir::Write(store.Path(), before);
        }
        ASSERT_TRUE(value ? store.WriteString(section, key, *value) : store.RemoveKey(section, key))
            << after;
        EXPECT_EQ(TempDir::Read(store.Path()), after);
        EXPECT_EQ(TempDir::Exists(store.Path()), !after.empty());
        EXPECT_EQ(store.Find(section, key), value ? std::optional<std::string>(*value) : remove);
    }
    TempDir::Write(store.Path(), "[Settings]\r\nAperture=0.500000\r\nCOM RxTimeout= 250\r\n");
    ASSERT_TRUE(store.WriteNumber(kSection, "Aperture", 0.25));
    ASSERT_TRUE(store.WriteInt(kSection, "COM RxTimeout", -5));
    ASSERT_TRUE(store.WriteNumber(kSection, "Max faze Pi", 0.5));
    EXPECT_EQ(TempDir::Read(store.Path()),
              "[Settings]\r\nAperture=0.250000\r\nCOM RxTimeout=-5\r\nMax faze Pi=0.500000\r\n");
}

// Values that would break the line structure, and files too large to read, are refused.
TEST_F(SettingsStoreTest, RefusesWritesThatWouldDamageTheFile) {
    const std::string good = "[S]\nK=1\n";
    const std::string huge = good + ";" + std::string(std::size_t{1} << 20, 'x') + "\n";
    for (const std::string& content : {good, huge}) {
        TempDir::Write(store.Path(), content);
        const bool readable = content == good;
        EXPECT_EQ(store.GetInt("S", "K", 5), readable ? 1 : 5);
        EXPECT_EQ(store.WriteInt("S", "K", 2), readable);
        EXPECT_FALSE(store.WriteString("S", "K", "a\nb"));
        EXPECT_FALSE(store.WriteString("S", "K=", "v"));
        EXPECT_FALSE(store.WriteNumber("S", "K", std::nan("")));
        EXPECT_EQ(store.RemoveKey("S", "Other"), readable);
        EXPECT_EQ(TempDir::Read(store.Path()), readable ? "[S]\nK=2\n" : content);
    }
    // A folder where the file should be, and a file in a folder that does not exist.
    std::filesystem::remove(store.Path());
    std::filesystem::create_directory(store.Path());
    EXPECT_EQ(store.GetInt("S", "K", 5), 5);
    EXPECT_FALSE(store.WriteInt("S", "K", 2));
    EXPECT_FALSE(SettingsStore(dir.File("missing/t.ini")).WriteInt("S", "K", 2));
    EXPECT_FALSE(TempDir::Exists(dir.File("missing")));
}

TEST_F(SettingsStoreTest, ConcurrentWritersKeepEachOthersKeys) {
    std::atomic<int> failures = 0;
    auto writer = [&](std::string_view key) {
        for (int i = 1; i <= 200; ++i) {
            failures += store.WriteInt("S", key, i) ? 0 : 1;
        }
    };
    { std::jthread a(writer, "A key"), b(writer, "B key"); }
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(store.GetInt("S", "A key", 0), 200);
    EXPECT_EQ(store.GetInt("S", "B key", 0), 200);
}

// Beside the programs when that folder is writable, else the user's configuration folder;
// relative or empty configuration folders do not count.
TEST(AppPaths, SettingsFileLiesBesideTheExecutableOrInTheUsersConfiguration) {
    const auto exe = std::filesystem::canonical("/proc/self/exe");
    EXPECT_EQ(apppaths::ExecutableDir(), exe.parent_path().string());
    EXPECT_EQ(apppaths::DefaultSettingsPath(), (exe.parent_path() / "tessaron.ini").string());
    const std::string user = "/home/u/.config/tessaron";
    // clang-format off
    const std::tuple<bool, const char*, const char*, std::string> cases[] = {
        {true, "/cfg", "/home/u", "/opt/t/bin"}, {false, "/cfg", "/home/u", "/cfg/tessaron"},
        {false, nullptr, "/home/u", user}, {false, "rel/cfg", "/home/u", user},
        {false, "", "/home/u", user}, {false, nullptr, "relative", "/opt/t/bin"},
        {false, nullptr, nullptr, "/opt/t/bin"}};
    // clang-format on
    for (const auto& [writable, xdg, home, expected] : cases) {
        EXPECT_EQ(apppaths::ChooseDataDir("/opt/t/bin", writable, xdg, home), expected)
            << writable << " " << (xdg ? xdg : "-") << " " << (home ? home : "-");
    }
}

} // namespace
