// Notices held back while a batch of work runs; questions are never held.
#include "framework/Prompter.h"
#include "framework/StringTable.h"
#include "support/FakePrompter.h"

#include <gtest/gtest.h>

namespace {

TEST(DeferringPrompter, HoldsNoticesUntilReleasedAndPassesQuestionsThrough) {
    FakePrompter screen;
    screen.ExpectMessages();
    DeferringPrompter prompter(screen);
    prompter.Hold();
    EXPECT_EQ(prompter.Message(IDP_FAILED_TO_OPEN_DOC, "/a.lcp: gone", MB_OK), IDOK);
    EXPECT_EQ(prompter.MessageBox("second", MB_OK | MB_ICONSTOP), IDOK);
    EXPECT_TRUE(screen.shown.empty());
    // A question needs its answer now.
    screen.QueueAnswer(IDNO);
    EXPECT_EQ(prompter.MessageBox("Save changes?", MB_YESNOCANCEL), IDNO);
    ASSERT_EQ(screen.shown.size(), 1u);

    prompter.Release();
    ASSERT_EQ(screen.shown.size(), 3u);
    EXPECT_EQ(screen.shown[1].text, LoadString(IDP_FAILED_TO_OPEN_DOC));
    EXPECT_EQ(screen.shown[1].detail, "/a.lcp: gone");
    EXPECT_EQ(screen.shown[2].text, "second");
    EXPECT_EQ(screen.shown[2].type, MB_OK | MB_ICONSTOP);
    // Released: the next notice is shown at once.
    prompter.MessageBox("third", MB_OK);
    EXPECT_EQ(screen.shown.size(), 4u);
}

} // namespace
