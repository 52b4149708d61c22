// The command line of kaprin-cli: the program's own words ("-A", "-S", "-D", "-C", "-F",
// "-E", and anything else that does not start with "--") go to the model unchanged, each
// word whole;
// the "--" options belong to the terminal front end and never touch the settings store.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kaprin::cli {

enum class AnswerPolicy { Ask, Yes, No };

struct CliOptions {
    std::vector<std::string> modelWords; // the program's words, in order
    std::optional<int> port;             // 1 to 20: COM1 to COM20
    std::optional<int> baud;             // the rate itself
    AnswerPolicy answers = AnswerPolicy::Ask;
    bool once = false;
    bool listPorts = false;
    bool help = false;
    bool version = false;
    std::string logFile;
};

struct ParsedOptions {
    CliOptions options;
    std::string error; // non-empty: the command line is not usable
};

// `args` are the words after the program's name.
ParsedOptions ParseCliOptions(const std::vector<std::string>& args);

// The "Comm" values that put a port number (1 to 20) and a rate into force the way
// start-up reads them: a port position, and a rate position 0 to 4 for the five listed
// rates or the rate itself for any other.
std::string PortPositionText(int port);
std::string BaudSettingText(int baud);

inline constexpr int kMinBaud = 50;
inline constexpr int kMaxBaud = 4000000;

extern const char* const kUsage;

} // namespace kaprin::cli
