// The sections and keys of the settings store, and the text forms of their values.
// Every value is text; absent and empty are the same, and each reader applies its own
// default to an empty (or unreadable) text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kaprin {

class SettingsStore;

namespace settings {

inline constexpr const char* kSetup = "Setup";
inline constexpr const char* kRecentFile = "RecentFile";
inline constexpr const char* kComm = "Comm";
inline constexpr const char* kSetting = "Setting";

inline constexpr const char* kLanguage = "Language";
inline constexpr const char* kEMode = "EMODE";
inline constexpr const char* kDTR = "DTR";
inline constexpr const char* kRTS = "RTS";
inline constexpr const char* kConvert = "CONVERT";
inline constexpr const char* kQuenlar = "QUENLAR";
inline constexpr const char* kStart = "START";
inline constexpr const char* kShutDown = "SHUTDOWN";
inline constexpr const char* kComPort = "COM PORT";
inline constexpr const char* kBaudRate = "BAUD RATE";
// The window program's production log file ("Setup"); empty: no log file.
inline constexpr const char* kLogFile = "LogFile";

inline constexpr int kRecentFiles = 4;

// "File1" … "File4" of "RecentFile", n counted from 1.
std::string RecentFileKey(int n);
// "File1" … "File6" of "Setting" for segment index 0 to 5.
std::string SegmentFileKey(int index);

// "True" or "False".
std::string BoolText(bool value);
// "True", "False" (any letter case) and numbers (0 off, any other on); blanks around
// the text are allowed. Nothing for an empty or unconvertible text.
std::optional<bool> ParseBool(const std::string& text);
// The text without the blanks and tabs around it.
std::string Trim(const std::string& text);
// A whole number in plain decimal (sign and blanks around it allowed) that fits 32 bits.
std::optional<std::int32_t> ParseWhole(const std::string& text);
std::string WholeText(std::int32_t value);

// A stored option: its check state, or `fallback` when the text is empty or unreadable.
bool ReadBool(SettingsStore& store, const std::string& section, const std::string& key,
              bool fallback);

} // namespace settings
} // namespace kaprin
