// The protocol log: time stamps, hex dumps, and the file in code page 1251 with CR LF.
#include "comm/ProtocolLog.h"

#include "framework/AppPaths.h"
#include "support/TempDir.h"

#include <ctime>
#include <gtest/gtest.h>
#include <numeric>
#include <vector>

namespace {

std::tm MakeTime(const char* text) {
    std::tm time{};
    EXPECT_NE(::strptime(text, "%d.%m.%Y %H:%M:%S", &time), nullptr) << text;
    return time;
}

const std::tm kTime = MakeTime("06.12.2026 09:05:03");

std::vector<std::string> Split(const std::string& text, const std::string& end) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t pos; (pos = text.find(end, start)) != std::string::npos;
         start = pos + end.size()) {
        lines.push_back(text.substr(start, pos - start));
    }
    EXPECT_EQ(start, text.size()) << "text does not end with a line end";
    return lines;
}

// Restores the log path a test changes.
struct LogPathGuard {
    std::string saved = protolog::LogPath();
    ~LogPathGuard() { protolog::SetLogPath(saved); }
};

TEST(ProtocolLog, TimeStampHasDayAndMonthWithoutLeadingZeros) {
    EXPECT_EQ(protolog::TimeStamp(kTime), "6.12.2026 09:05:03 : ");
    EXPECT_EQ(protolog::TimeStamp(MakeTime("31.01.1999 23:59:00")), "31.1.1999 23:59:00 : ");
}

TEST(ProtocolLog, DumpsOfTheFrames) {
    std::vector<std::uint8_t> frame = {0x01, 0x00, 0xFF, 0x00, 0x55}; // the connect frame
    frame.insert(frame.end(), 126, 0xFF);
    frame.insert(frame.end(), {0xCC, 0xF9});
    const auto lines =
        Split(protolog::FormatDump("Отправка малого блока", frame.data(), 133, kTime), "\n");
    ASSERT_EQ(lines.size(), 1u + 9u);
    EXPECT_EQ(lines[0], "6.12.2026 09:05:03 : Отправка малого блока. Дамп данных длиной 133 "
                        "байта(ов):");
    EXPECT_EQ(lines[1], "0x0001, 0x00ff, 0xff55, 0xffff, 0xffff, 0xffff, 0xffff, 0xffff");
    EXPECT_EQ(lines[5], "0xffff, 0xffff, 0xffff, 0xffff, 0xffff, 0xffff, 0xffff, 0xffff");
    EXPECT_EQ(lines[9], "0xffff, 0xccff, 0xf9");

    const std::vector<std::uint8_t> data(1029, 0x5A);
    EXPECT_EQ(Split(protolog::FormatDump("T", data.data(), 1029, kTime), "\n").size(), 1u + 65u);
}

// The dump lines after the header: pairs low byte first, zero printed the way printf's '#'
// flag prints it, a line break after eight values, after the last pair and after a lone byte.
TEST(ProtocolLog, DumpLines) {
    std::vector<std::uint8_t> counting(18);
    std::iota(counting.begin(), counting.end(), std::uint8_t{0});
    const std::string eight = "0x0100, 0x0302, 0x0504, 0x0706, 0x0908, 0x0b0a, 0x0d0c, 0x0f0e\n";
    const struct {
        std::vector<std::uint8_t> bytes;
        std::string expected;
    } cases[] = {
        {{}, ""},
        {{0xF9}, "0xf9\n"},
        {{0x00}, "0000\n"},
        {{0x01, 0x00}, "0x0001\n"},
        {{0x00, 0x00}, "000000\n"},
        {{0x34, 0x12, 0x00, 0x00, 0xAB}, "0x1234, 000000, 0xab\n"},
        {{counting.begin(), counting.begin() + 16}, eight},
        {{counting.begin(), counting.begin() + 17}, eight + "0x10\n"},
        {counting, eight + "0x1110\n"},
    };
    for (const auto& c : cases) {
        const std::string header = "6.12.2026 09:05:03 : T. Дамп данных длиной " +
                                   std::to_string(c.bytes.size()) + " байта(ов):\n";
        EXPECT_EQ(protolog::FormatDump("T", c.bytes.data(), c.bytes.size(), kTime),
                  header + c.expected);
    }
}

TEST(ProtocolLog, ConvertsToCodePage1251) {
    const struct {
        std::string utf8;
        std::string cp1251;
    } cases[] = {
        {"ACK 0x06\n", "ACK 0x06\n"},
        {"Дамп приёме", "\xC4\xE0\xEC\xEF \xEF\xF0\xE8\xB8\xEC\xE5"},
        {"ЁЯая№€", "\xA8\xDF\xE0\xFF\xB9\x88"},
        {"äx中y😀z", "?x?y?z"}, // no place in the code page
        {"a\xFF"
         "b\x80"
         "c\xD0"
         "d\xE2\x82",
         "a?b?c?d?"}, // not UTF-8, or cut short
    };
    for (const auto& c : cases) {
        EXPECT_EQ(protolog::ToCp1251(c.utf8), c.cp1251) << c.utf8;
    }
}

TEST(ProtocolLog, LogsBesideTheExecutablesUnlessToldOtherwise) {
    LogPathGuard guard;
    protolog::SetLogPath("");
    EXPECT_EQ(protolog::LogPath(), apppaths::ExecutableDir() + "/tessaron.log");
    protolog::SetLogPath("/tmp/other.log");
    EXPECT_EQ(protolog::LogPath(), "/tmp/other.log");
}

// The lines of a log file, which must end in CR LF, each time stamp replaced by "@ ".
std::vector<std::string> FileLines(const std::string& path) {
    std::vector<std::string> result;
    for (const std::string& line : Split(TempDir::Read(path), "\r\n")) {
        EXPECT_EQ(line.find('\n'), std::string::npos) << "a bare line feed";
        const auto end = line.find(" : ");
        const bool stamped = end != std::string::npos && end >= 17 && end <= 19 &&
                             line.find_first_not_of("0123456789.: ") == end + 3;
        result.push_back(stamped ? "@ " + line.substr(end + 3) : line);
    }
    return result;
}

TEST(ProtocolLog, FileIsCp1251WithCrLfAndGrowsAcrossCalls) {
    LogPathGuard guard;
    TempDir dir;
    protolog::SetLogPath(dir.File("t.log"));
    protolog::LogText(logtext::kConnected);
    const std::uint8_t reply[] = {0x06, 0x00, 0x15};
    protolog::LogDump("Отправка", reply, sizeof reply);
    std::vector<std::string> expected = {
        "@ \xCF\xEE\xE4\xEA\xEB\xFE\xF7\xE5\xED\xE8\xE5 \xE2\xFB\xEF\xEE\xEB\xED\xE5\xED\xEE",
        "@ \xCE\xF2\xEF\xF0\xE0\xE2\xEA\xE0. \xC4\xE0\xEC\xEF \xE4\xE0\xED\xED\xFB\xF5 "
        "\xE4\xEB\xE8\xED\xEE\xE9 3 \xE1\xE0\xE9\xF2\xE0(\xEE\xE2):",
        "0x0006, 0x15",
    };
    EXPECT_EQ(FileLines(dir.File("t.log")), expected);

    protolog::LogText("ёä");
    expected.push_back("@ \xB8?");
    EXPECT_EQ(FileLines(dir.File("t.log")), expected);
}

TEST(ProtocolLog, AFileThatCannotBeOpenedIsSkipped) {
    LogPathGuard guard;
    TempDir dir;
    const std::uint8_t byte = 0x05;
    for (const std::string& path : {dir.File("none/t.log"), dir.Path()}) { // or a folder
        protolog::SetLogPath(path);
        protolog::LogText(logtext::kSendEnq);
        protolog::LogDump(logtext::kSendSmallBlock, &byte, 1);
    }
    EXPECT_FALSE(TempDir::Exists(dir.File("none")));
}

} // namespace
