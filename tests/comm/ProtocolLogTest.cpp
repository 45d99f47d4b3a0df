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

// Restores the log path a test changes.
struct LogPathGuard {
    std::string saved = protolog::LogPath();
    ~LogPathGuard() { protolog::SetLogPath(saved); }
};

// The dump: a header with the time stamp (day and month without leading zeros), then pairs
// low byte first, zero printed the way printf's '#' flag prints it, a line break after eight
// values, after the last pair and after a lone byte.
TEST(ProtocolLog, DumpLines) {
    EXPECT_EQ(protolog::TimeStamp(MakeTime("31.01.1999 23:59:00")), "31.1.1999 23:59:00 : ");
    std::vector<std::uint8_t> counting(18);
    std::iota(counting.begin(), counting.end(), std::uint8_t{0});
    const std::string eight = "0x0100, 0x0302, 0x0504, 0x0706, 0x0908, 0x0b0a, 0x0d0c, 0x0f0e\n";
    // clang-format off
    const std::pair<std::vector<std::uint8_t>, std::string> cases[] = {
        {{}, ""}, {{0xF9}, "0xf9\n"}, {{0x00}, "0000\n"}, {{0x01, 0x00}, "0x0001\n"},
        {{0x00, 0x00}, "000000\n"}, {{0x34, 0x12, 0x00, 0x00, 0xAB}, "0x1234, 000000, 0xab\n"},
        {{counting.begin(), counting.begin() + 16}, eight},
        {{counting.begin(), counting.begin() + 17}, eight + "0x10\n"}, {counting, eight + "0x1110\n"}};
    // clang-format on
    for (const auto& [bytes, expected] : cases) {
        const std::string header = "6.12.2026 09:05:03 : T. Дамп данных длиной " +
                                   std::to_string(bytes.size()) + " байта(ов):\n";
        EXPECT_EQ(
            protolog::FormatDump("T", bytes.data(), bytes.size(), MakeTime("06.12.2026 09:05:03")),
            header + expected);
    }
}

TEST(ProtocolLog, ConvertsToCodePage1251) {
    const std::pair<std::string, std::string> cases[] = {
        {"ACK 0x06\n", "ACK 0x06\n"},
        {"Дамп приёме", "\xC4\xE0\xEC\xEF \xEF\xF0\xE8\xB8\xEC\xE5"},
        {"ЁЯая№€", "\xA8\xDF\xE0\xFF\xB9\x88"},
        {"äx中y😀z", "?x?y?z"},                    // no place in the code page
        {"a\377b\200c\320d\342\202", "a?b?c?d?"}, // not UTF-8, or cut short
    };
    for (const auto& [utf8, cp1251] : cases) {
        EXPECT_EQ(protolog::ToCp1251(utf8), cp1251) << utf8;
    }
}

// The file beside the executables unless told otherwise, in code page 1251 with CR LF line
// ends, growing across calls; a file that cannot be opened is skipped.
TEST(ProtocolLog, FileIsCp1251WithCrLfAndGrowsAcrossCalls) {
    LogPathGuard guard;
    protolog::SetLogPath("");
    EXPECT_EQ(protolog::LogPath(), apppaths::ExecutableDir() + "/tessaron.log");
    TempDir dir;
    protolog::SetLogPath(dir.File("t.log"));
    protolog::LogText(logtext::kConnected);
    const std::uint8_t reply[] = {0x06, 0x00, 0x15};
    protolog::LogDump("Отправка", reply, sizeof reply);
    protolog::LogText("ёä");
    std::string log = TempDir::Read(dir.File("t.log"));
    for (std::size_t stamp; (stamp = log.find(" : ")) != std::string::npos;) {
        const std::size_t start = log.rfind('\n', stamp) + 1; // 0 on the first line
        EXPECT_EQ(log.find_first_not_of("0123456789.: ", start), stamp + 3);
        log.replace(start, stamp + 3 - start, "@ ");
    }
    EXPECT_EQ(log, "@ \xCF\xEE\xE4\xEA\xEB\xFE\xF7\xE5\xED\xE8\xE5 \xE2\xFB\xEF\xEE\xEB\xED\xE5"
                   "\xED\xEE\r\n@ \xCE\xF2\xEF\xF0\xE0\xE2\xEA\xE0. \xC4\xE0\xEC\xEF \xE4\xE0\xED"
                   "\xED\xFB\xF5 \xE4\xEB\xE8\xED\xEE\xE9 3 \xE1\xE0\xE9\xF2\xE0(\xEE\xE2):\r\n"
                   "0x0006, 0x15\r\n@ \xB8?\r\n");
    const std::uint8_t byte = 0x05;
    for (const std::string& path : {dir.File("none/t.log"), dir.Path()}) { // or a folder
        protolog::SetLogPath(path);
        protolog::LogText(logtext::kSendEnq);
        protolog::LogDump(logtext::kSendSmallBlock, &byte, 1);
    }
    EXPECT_FALSE(TempDir::Exists(dir.File("none")));
}

} // namespace
