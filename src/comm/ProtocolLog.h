// The protocol log: time-stamped lines and hex dumps of every exchange with the controller,
// appended to a text file for a person debugging the link. The texts are Russian; the file is
// written in code page 1251 with CR LF line ends, as the log readers of the labs expect.
//
// Each call opens the file, appends and closes it again, so other programs may read the log
// while it grows. A file that cannot be opened is skipped silently: logging never disturbs
// the exchange. Only the communication worker logs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

namespace protolog {

// The log file: "tessaron.log" in the program's data folder (apppaths::DataDir: beside the
// executables when that is writable) unless another path was set.
void SetLogPath(const std::string& path);
std::string LogPath();

// Appends "<time stamp><text>".
void LogText(const std::string& text);
// Appends "<time stamp><text>. Дамп данных длиной <length> байта(ов):" and the dump lines.
void LogDump(const std::string& text, const std::uint8_t* data, std::size_t length);
// The same into the log file `path` (a link with a log of its own).
void LogTextTo(const std::string& path, const std::string& text);
void LogDumpTo(const std::string& path, const std::string& text, const std::uint8_t* data,
               std::size_t length);

// The pieces, as UTF-8 text with "\n" line ends, for tests and for the command line tool.
// "6.12.2026 09:05:03 : " (day and month without leading zeros).
std::string TimeStamp(const std::tm& time);
// The header and dump lines of LogDump: values of two bytes, low byte first, eight a line.
std::string FormatDump(const std::string& text, const std::uint8_t* data, std::size_t length,
                       const std::tm& time);
// UTF-8 to code page 1251 (characters without a place there become '?').
std::string ToCp1251(const std::string& utf8);

} // namespace protolog

// The log texts, in UTF-8.
namespace logtext {
inline constexpr const char* kPortOpenError = "Ошибка при открытии порта";
inline constexpr const char* kPortSetupError = "Ошибка при установке параметров порта";
inline constexpr const char* kConnected = "Подключение выполнено";
inline constexpr const char* kDisconnected = "Отключение выполнено";
inline constexpr const char* kStartConnect = "Выполнение команды \"Подключение к контроллеру\"";
inline constexpr const char* kStartDisconnect = "Выполнение команды \"Отключение от контроллера\"";
inline constexpr const char* kStartLoadParams =
    "Выполнение команды \"Загрузка параметров в контроллер\"";
inline constexpr const char* kStartLoadProfile =
    "Выполнение команды \"Загрузка профиля ЖКМ в контроллер\"";
inline constexpr const char* kSendEnq = "Отправка символа ENQ";
inline constexpr const char* kSendEot = "Отправка символа EOT";
inline constexpr const char* kSendSmallBlock = "Отправка малого блока";
inline constexpr const char* kSendLargeBlock = "Отправка большого блока";
inline constexpr const char* kAckReceived = "Принят символ подтверждения";
inline constexpr const char* kCancelled = "Команда прервана, порт закрыт";
inline constexpr const char* kStepFailed =
    "Ошибка. Возможная причина: не пришло ответа; в ответе нет подтверждения; ошибка при "
    "приёме байта UART'ом.";
} // namespace logtext
