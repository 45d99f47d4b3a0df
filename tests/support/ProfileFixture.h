// A profile document with a scripted prompter, a settings file of its own and a recording view.
#pragma once

#include "framework/SettingsStore.h"
#include "profile/TessaronDoc.h"
#include "support/DocAccess.h"
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
    void RefreshWizardControls() override {}
    void RefreshElementReadouts() override { ++readoutRefreshes; }
    void SetNoteText(const std::string& note) override { notes.push_back(note); }

    std::vector<int> hints;
    int readoutRefreshes = 0;
    std::vector<std::string> notes;
};

class ProfileFixture : public ::testing::Test {
protected:
    // A fresh document made with File New from the present settings file, shown in `view`.
    CTessaronDoc& NewDoc() {
        doc = std::make_unique<CTessaronDoc>(context);
        EXPECT_TRUE(doc->OnNewDocument());
        view = RecordingView();
        doc->AddView(&view);
        return *doc;
    }

    // The texts of the message boxes shown since the last call; the record starts afresh.
    std::vector<std::string> Messages() {
        std::vector<std::string> texts;
        for (const auto& shown : prompter.shown) {
            texts.push_back(shown.text);
        }
        prompter.shown.clear();
        return texts;
    }

    TempDir dir;
    FakePrompter prompter;
    SettingsStore settings{dir.File("tessaron.ini")};
    AppContext context{settings, prompter};
    RecordingView view;
    std::unique_ptr<CTessaronDoc> doc = std::make_unique<CTessaronDoc>(context);
};
