// Command-line state of the shared module: written during start-up only.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kaprin {

enum CmdModeValue : std::int16_t {
    kCmdNone = 0,
    kCmdAuto = 1,      // "-A"
    kCmdStart = 2,     // "-S"
    kCmdShutDown = 3,  // "-D"
    kCmdAutoClose = 4, // "-C"
};

inline constexpr int kCmdMaxWords = 3;

// The program's own words, as the --help of either front end lists them.
inline constexpr const char* kCommandWordsHelp =
    R"(  -A          start the automatic mode: flash every scanner plugged into the port
  -C          as -A, and end after the first good download
  -S, -D      turn "After Quenlar Start" / "After Quenlar Shut Down" on
  -F=FILE     the image file (a PLN image, or an Intel HEX image to convert)
  -E<n>       alert after n failed automatic downloads in a row (default 3, at most 9)
)";

struct Module1 {
    std::array<std::string, kCmdMaxWords> CmdWords;
    std::int16_t CmdWordCount = 0;
    bool CmdGiven = false;
    std::int16_t CmdMode = kCmdNone;
    std::string CmdFile;
    std::int16_t AutoFailLimit = 0;
};

// Why a front end that refuses doubtful command lines (kaprin-cli) should refuse these
// words, or empty when they are good: more words than the model takes (it would drop the
// rest), two modes (the last would win over the first), an option given twice, or a word
// that is no option (the model would pass over it).
std::string CommandWordsProblem(const std::vector<std::string>& words);

} // namespace kaprin
