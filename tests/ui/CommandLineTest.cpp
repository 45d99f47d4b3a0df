// The window program's command line: what the parser makes of it, and the program itself run
// as a process for its help and its usage errors (the requests that run are tested with the
// application object in this process).
#include "shell/CommandLineOptions.h"
#include "support/RunProcess.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using ::testing::HasSubstr;

TEST(WindowCommandLineTest, DesktopRequestsInAnySpellingAndFilesAfterTheSeparator) {
    struct Case {
        QStringList args;
        QStringList documents;
        bool unregister;
        bool printDirect;
        bool simulate;
    };
    const Case cases[] = {
        {{"/UNREGISTER"}, {}, true, false, false},
        {{"-unregserver", "--settings", "x.ini"}, {}, true, false, false},
        {{"/p", "a.lcp", "-P", "b.lcp", "c.vf"}, {"a.lcp", "b.lcp", "c.vf"}, false, true, false},
        {{"--", "/p", "--simulate"}, {"/p", "--simulate"}, false, false, false},
        {{"--simulate-record", "r.txt", "/abs/path.vf"}, {"/abs/path.vf"}, false, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const AppOptions options = ParseCommandLine(c.args);
        ASSERT_TRUE(options.error.isEmpty()) << options.error.toStdString();
        EXPECT_EQ(options.documents, c.documents);
        EXPECT_EQ(options.unregister, c.unregister);
        EXPECT_EQ(options.printDirect, c.printDirect);
        EXPECT_EQ(options.simulate, c.simulate);
    }
}

TEST(WindowCommandLineTest, HelpListsEveryOptionAndTheDesktopsRequests) {
    const ProcessResult run = RunProcess(TESSARON_APP, {"--help"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    for (const char* text : {"--settings PATH", "--simulate ", "--simulate-record FILE",
                             "--print-pdf FILE.lcp OUT.pdf", "/p FILE.lcp", "/pt FILE.lcp PRINTER",
                             "/Unregister, /Unregserver"}) {
        EXPECT_THAT(run.out, HasSubstr(text));
    }
    EXPECT_TRUE(ParseCommandLine({"-h"}).help);
}

TEST(WindowCommandLineTest, AMalformedLineIsNamedWithTheUsageAndStatus2) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--bogus"}, "tessaron: The following argument was not expected: --bogus"},
        {{"/PT", "a.lcp"}, "tessaron: /PT needs a file and a printer"},
        {{"a.lcp", "-p"}, "tessaron: -p needs a file"},
        {{"--print-pdf", "a.lcp"}, "tessaron: --print-pdf"},
        {{"--settings"}, "tessaron: --settings"},
    };
    for (const auto& [args, message] : cases) {
        const ProcessResult run = RunProcess(TESSARON_APP, args);
        EXPECT_EQ(run.exitCode, 2) << message;
        EXPECT_THAT(run.err, HasSubstr(message));
        EXPECT_THAT(run.err, HasSubstr("Usage: tessaron"));
        EXPECT_TRUE(run.out.empty());
    }
}

} // namespace
