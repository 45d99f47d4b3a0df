// A profile document with a scripted prompter and a settings file of its own.
#pragma once

#include "framework/SettingsStore.h"
#include "profile/TessaronDoc.h"
#include "support/FakePrompter.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

// Records what a profile document asks of its views.
class RecordingView : public ProfileDocView {
public:
    void OnUpdate(DocumentView*, int hint) override { hints.push_back(hint); }
    void RefreshWizardControls() override { ++wizardRefreshes; }
    void RefreshElementReadouts() override { ++readoutRefreshes; }
    void SetNoteText(const std::string& note) override { notes.push_back(note); }

    std::vector<int> hints;
    int wizardRefreshes = 0;
    int readoutRefreshes = 0;
    std::vector<std::string> notes;
};

class ProfileFixture : public ::testing::Test {
protected:
    ProfileFixture()
        : settings(dir.File("tessaron.ini")), context{settings, prompter},
          doc(std::make_unique<CTessaronDoc>(context)) {}

    // A fresh document made with File New from the present settings file.
    CTessaronDoc& NewDoc() {
        doc = std::make_unique<CTessaronDoc>(context);
        EXPECT_TRUE(doc->OnNewDocument());
        return *doc;
    }

    // The texts of the message boxes shown so far.
    std::vector<std::string> Messages() const {
        std::vector<std::string> texts;
        for (const auto& shown : prompter.shown) {
            texts.push_back(shown.text);
        }
        return texts;
    }

    TempDir dir;
    FakePrompter prompter;
    SettingsStore settings;
    AppContext context;
    std::unique_ptr<CTessaronDoc> doc;
};
