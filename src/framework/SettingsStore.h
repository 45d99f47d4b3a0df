// The program's settings file: an INI file in the private-profile form.
//
//   [Settings]
//   COM RxTimeout=5000
//   Aperture=0.010000
//
// Section names stand in square brackets; each setting is a `key=value` line. Section and
// key names match case-insensitively and may contain blanks; white space around names and
// values is ignored, and a value enclosed in double quotes loses the quotes. Lines may end
// in LF or CR LF. Writing a setting rewrites only its own line (or adds it to its section,
// or adds the section at the end); every other section, key, comment and blank line stays
// as it was. Files are replaced atomically, so a failed write leaves the old file intact.
//
// Nothing is cached: every read opens the file again, because the options page, new
// documents and the communication worker read the settings each time they need them.
// The store may be used from several threads at once.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <string_view>

class SettingsStore {
public:
    explicit SettingsStore(std::string path);

    const std::string& Path() const { return m_path; }

    // The stored text of a key, or nothing when the key (or the file) is absent.
    std::optional<std::string> Find(std::string_view section, std::string_view key) const;

    // Integer reading of the private-profile functions (see numtext::ProfileInt);
    // `defaultValue` when the key is absent.
    int GetInt(std::string_view section, std::string_view key, int defaultValue) const;

    // GetInt for a setting the program can only use within [low, high]: a value outside
    // that range counts as absent and gives `defaultValue`.
    int GetIntInRange(std::string_view section, std::string_view key, int defaultValue, int low,
                      int high) const;

    // The stored text, or `defaultText` when the key is absent.
    std::string GetString(std::string_view section, std::string_view key,
                          std::string_view defaultText) const;

    // A fractional setting: the stored text (or `defaultText`) scanned as with "%Lf".
    // Text that does not scan as a finite number falls back to `defaultText`.
    double GetNumber(std::string_view section, std::string_view key,
                     std::string_view defaultText) const;

    // Writers return false when the file cannot be written; the old file then stays.
    bool WriteInt(std::string_view section, std::string_view key, int value);
    bool WriteString(std::string_view section, std::string_view key, std::string_view value);
    // Written as fixed-point text with six decimals ("%Lf"): 0.5 becomes "0.500000".
    bool WriteNumber(std::string_view section, std::string_view key, double value);
    // Removes one key; true when the file is as asked afterwards.
    bool RemoveKey(std::string_view section, std::string_view key);

private:
    std::string m_path;
    mutable std::mutex m_mutex;
};

// The section that holds the program's own settings, and its keys.
namespace settings {
inline constexpr std::string_view kSection = "Settings";
inline constexpr std::string_view kComPort = "COM_Port";
inline constexpr std::string_view kComSpeed = "COM_Speed";
inline constexpr std::string_view kComDevice = "COM_Device";
inline constexpr std::string_view kRxTimeout = "COM RxTimeout";
inline constexpr std::string_view kProtocolLog = "Protocol Log";
inline constexpr std::string_view kFreqLine = "Freq Line";
inline constexpr std::string_view kFreqFrame = "Freq Frame";
inline constexpr std::string_view kDacDigit = "DAC Digit";
inline constexpr std::string_view kElements = "Number of elements";
inline constexpr std::string_view kAperture = "Aperture";
inline constexpr std::string_view kMaxPhase = "Max faze Pi";
// The print preview's pages side by side: 1 or 2.
inline constexpr std::string_view kPreviewPages = "PreviewPages";

// What the readers take for a key that the file does not hold: the link (port COM1, 1200
// baud, a 5000 ms receive time-out, no log, both divisors 1), new documents, and the options
// page, which shows them (but for the speed, see there).
inline constexpr int kDefaultComPort = 0;
inline constexpr int kDefaultComSpeed = 0;
inline constexpr int kDefaultRxTimeout = 5000;
inline constexpr int kDefaultProtocolLog = 0;
inline constexpr int kDefaultFreqDivisor = 0;
inline constexpr int kDefaultDacDigit = 16;
inline constexpr int kDefaultElements = 256;
// The fractional settings' defaults are texts, scanned like a stored value.
inline constexpr std::string_view kDefaultAperture = "0.01";
inline constexpr std::string_view kDefaultMaxPhase = "8.0";
} // namespace settings
