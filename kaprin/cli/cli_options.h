// The command line of kaprin-cli: the program's own words ("-A", "-S", "-D", "-C", "-F",
// "-E", and anything else that does not start with "--") go to the model unchanged, each
// word whole;
// the "--" options belong to the terminal front end and never touch the settings store.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kaprin::cli {

enum class AnswerPolicy { Ask, Yes, No };

struct CliOptions {
    std::vector<std::string> modelWords; // the program's words, in order
    std::optional<int> port;             // 1 to 20: COM1 to COM20
    std::string portPath;                // --port with a device path, for the port in use
    std::optional<int> baud;             // the rate itself
    AnswerPolicy answers = AnswerPolicy::Ask;
    bool once = false;
    bool listPorts = false;
    bool watch = false; // with listPorts: then the devices as they come and go
    // --map COM<n>=PATH and --unmap COM<n> (an empty path), in the order given.
    std::vector<std::pair<int, std::string>> mapEdits;
    bool help = false;
    bool version = false;
    std::string logFile;
    // The line's record.
    std::string expectSha256; // --expect-sha256: 64 hex digits, or empty
    bool requirePin = false;
    std::string unitId;
    bool askUnit = false;
    std::string order;
    std::string station;    // the station's name in the record, events and metrics
    std::string events;     // a descriptor number or a path
    std::string metricsDir; // empty: no metrics
    bool report = false;
    std::string since;
    std::string journalDir;
    bool json = false;
};

struct ParsedOptions {
    CliOptions options;
    std::string error; // non-empty: the command line is not usable
};

// `args` are the words after the program's name.
ParsedOptions ParseCliOptions(const std::vector<std::string>& args);

inline constexpr int kMinBaud = 50;
inline constexpr int kMaxBaud = 4000000;
// The serial component takes port names of at most this many bytes.
inline constexpr std::size_t kMaxPathBytes = 255;

extern const std::string kUsage;

} // namespace kaprin::cli
