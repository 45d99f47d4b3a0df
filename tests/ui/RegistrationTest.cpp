// Removing the desktop registration from a fake home folder.
#include "shell/Registration.h"

#include "support/TempDir.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

const char* const kOurs[] = {
    "data/applications/tessaron.desktop",
    "data/mime/packages/tessaron.xml",
    "data/icons/hicolor/48x48/apps/tessaron.png",
    "data/icons/hicolor/scalable/apps/tessaron.svg",
    "data/icons/hicolor/24x24@2/mimetypes/application-x-tessaron-profile.png",
    "data/icons/hicolor/scalable/mimetypes/application-x-tessaron-voltphase.svg",
    "data/icons/hicolor/32x32/mimetypes/application-x-tessaron-profile.xpm",
    "tessaron.ini"};
const char* const kOthers[] = {"data/applications/other.desktop", "data/mime/packages/other.xml",
                               "data/icons/hicolor/48x48/apps/other.xpm",
                               "data/icons/hicolor/48x48/mimetypes/text-plain.png",
                               "data/icons/hicolor/index.theme"};

class RegistrationTest : public ::testing::Test {
protected:
    std::string At(const std::string& name) const { return m_home->File(name); }
    void Reset(bool withFiles) {
        m_home = std::make_unique<TempDir>();
        m_calls.clear();
        if (!withFiles) {
            return;
        }
        for (const char* name : kOurs) {
            Put(name, "x");
        }
        for (const char* name : kOthers) {
            Put(name, name);
        }
    }
    void Put(const std::string& name, const std::string& bytes) const {
        fs::create_directories(fs::path(At(name)).parent_path());
        TempDir::Write(At(name), bytes);
    }
    CleanUpResult Run() {
        return CleanUpRegistration({At("data"), At("config")}, At("tessaron.ini"),
                                   [this](const Strings& argv) {
                                       m_calls.push_back(argv);
                                       return m_outcome;
                                   });
    }

    std::unique_ptr<TempDir> m_home;
    RunOutcome m_outcome = RunOutcome::Succeeded;
    std::vector<Strings> m_calls;
};

// Absent files and missing refresh programs are no failure; a refresh that fails is one.
TEST_F(RegistrationTest, RemovesOurFilesKeepsOthersAndReportsRealFailures) {
    using enum RunOutcome;
    const std::pair<bool, RunOutcome> cases[] = {
        {true, Succeeded}, {true, NotFound}, {true, Failed}, {false, Failed}};
    for (const auto& [withFiles, outcome] : cases) {
        Reset(withFiles);
        m_outcome = outcome;
        const CleanUpResult result = Run();
        for (const char* name : kOurs) {
            EXPECT_FALSE(TempDir::Exists(At(name))) << name;
            EXPECT_EQ(std::count(result.removed.begin(), result.removed.end(), At(name)),
                      withFiles);
        }
        EXPECT_EQ(result.removed.size(), withFiles ? std::size(kOurs) : 0u);
        for (const char* name : kOthers) {
            EXPECT_EQ(TempDir::Read(At(name)), withFiles ? name : "");
        }
        const std::vector<Strings> refresh = {{"update-mime-database", At("data/mime")},
                                              {"update-desktop-database", At("data/applications")}};
        EXPECT_EQ(m_calls, withFiles ? refresh : std::vector<Strings>{});
        const bool failing = withFiles && outcome == RunOutcome::Failed;
        EXPECT_EQ(result.failed.size(), failing ? 2u : 0u);
        EXPECT_EQ(result.complete, !failing);
    }
}

TEST_F(RegistrationTest, DropsOnlyOurAssociationsAndRewritesInPlace) {
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {"[Default Applications]\napplication/x-tessaron-profile=tessaron.desktop\n"
         "text/plain=tessaron.desktop;\n",
         "[Default Applications]\ntext/plain=tessaron.desktop;\n"},
        {"# tessaron.desktop\r\n[Added Associations]\r\n"
         "application/x-tessaron-voltphase=a.desktop;tessaron.desktop;b.desktop;\r\n",
         "# tessaron.desktop\r\n[Added Associations]\r\n"
         "application/x-tessaron-voltphase=a.desktop;b.desktop;\r\n"},
        {"[Removed Associations]\nApplication/X-Tessaron-Profile = tessaron.desktop ; ;",
         "[Removed Associations]\n"},
        {"[Added Associations]\napplication/x-tessaron-profile=mytessaron.desktop;\n\n", {}},
    };
    const auto mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    for (const auto& [before, after] : cases) {
        for (const char* list : {"config/mimeapps.list", "data/applications/mimeapps.list"}) {
            Reset(false);
            Put(list, before);
            fs::permissions(At(list), mode);
            const CleanUpResult result = Run();
            EXPECT_TRUE(result.complete) << before;
            EXPECT_EQ(TempDir::Read(At(list)), after.value_or(before)) << before;
            EXPECT_EQ(result.removed, after ? Strings{At(list)} : Strings{}) << before;
            EXPECT_EQ(fs::status(At(list)).permissions(), mode);
            const fs::directory_iterator folder(fs::path(At(list)).parent_path());
            EXPECT_EQ(std::distance(folder, fs::directory_iterator()), 1); // no temporary left
        }
    }
}

// What cannot go stays and is a failure, and the other steps go on: anything behind a link,
// which is never followed, and a file in a read-only folder.
TEST_F(RegistrationTest, WhatCannotGoIsAFailureAndTheOtherStepsGoOn) {
    Reset(false);
    const char* outside[] = {"outside/apps/tessaron.png", "outside/tessaron.desktop",
                             "outside/mimeapps.list"};
    for (const char* name : outside) {
        Put(name, "[Default Applications]\napplication/x-tessaron-profile=tessaron.desktop\n");
    }
    fs::create_directories(At("data/icons/hicolor"));
    fs::create_directory_symlink(At("outside"), At("data/icons/hicolor/64x64"));
    fs::create_directory_symlink(At("outside"), At("data/applications"));
    CleanUpResult result = Run();
    EXPECT_TRUE(result.removed.empty());
    EXPECT_EQ(result.failed.size(), std::size(outside));
    for (const char* name : outside) {
        EXPECT_TRUE(TempDir::Exists(At(name))) << name;
    }

    if (::geteuid() == 0) {
        GTEST_SKIP() << "root ignores folder permissions";
    }
    for (const std::string kept :
         {"data/applications/tessaron.desktop", "data/mime/packages/tessaron.xml",
          "data/icons/hicolor/48x48/apps/tessaron.png", "config/mimeapps.list", "tessaron.ini"}) {
        Reset(true);
        const std::string folder = fs::path(At(kept)).parent_path();
        Put("config/mimeapps.list", "[Default Applications]\n"
                                    "application/x-tessaron-voltphase=tessaron.desktop;\n");
        fs::permissions(folder, fs::perms::owner_write, fs::perm_options::remove);
        result = Run();
        EXPECT_FALSE(result.complete) << kept;
        EXPECT_EQ(result.failed, Strings{At(kept)});
        EXPECT_TRUE(TempDir::Exists(At(kept))) << kept;
        EXPECT_EQ(result.removed.size(), std::size(kOurs)) << kept; // the rest, and the list
        fs::permissions(folder, fs::perms::owner_write, fs::perm_options::add);
    }
}

TEST(UserRegistrationPaths, FollowTheEnvironment) {
    using Values = std::array<std::optional<std::string>, 5>;
    const char* names[] = {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME"};
    const auto setAll = [&](const Values& values) {
        for (int i = 0; i < 3; ++i) {
            values[i] ? ::setenv(names[i], values[i]->c_str(), 1) : ::unsetenv(names[i]);
        }
    };
    Values saved;
    for (int i = 0; i < 3; ++i) {
        saved[i] = std::getenv(names[i]) ? std::optional(std::getenv(names[i])) : std::nullopt;
    }
    // HOME, XDG_DATA_HOME, XDG_CONFIG_HOME, expected data and config folders
    const Values cases[] = {
        {"/h", "/x/data/", "/x/cfg", "/x/data", "/x/cfg"},
        {"/h/", std::nullopt, std::nullopt, "/h/.local/share", "/h/.config"},
        {"/h", "", "relative/cfg", "/h/.local/share", "/h/.config"},
    };
    for (const Values& c : cases) {
        setAll(c);
        const RegistrationPaths paths = UserRegistrationPaths();
        EXPECT_EQ(std::pair(paths.dataHome, paths.configHome), std::pair(*c[3], *c[4]));
    }
    setAll(saved);
}

TEST(RunProgram, TellsSuccessFailureAndAMissingProgramApart) {
    EXPECT_EQ(RunProgram({"true"}), RunOutcome::Succeeded);
    EXPECT_EQ(RunProgram({"sh", "-c", "exit 3"}), RunOutcome::Failed);
    EXPECT_EQ(RunProgram({"tessaron-no-such-program"}), RunOutcome::NotFound);
}

} // namespace
