// Command-line state of the shared module: written during start-up only.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace kaprin {

enum CmdModeValue : std::int16_t {
    kCmdNone = 0,
    kCmdAuto = 1,      // "-A"
    kCmdStart = 2,     // "-S"
    kCmdShutDown = 3,  // "-D"
    kCmdAutoClose = 4, // "-C"
};

struct Module1 {
    std::array<std::string, 3> CmdWords;
    std::int16_t CmdWordCount = 0;
    bool CmdGiven = false;
    std::int16_t CmdMode = kCmdNone;
    std::string CmdFile;
    std::int16_t AutoFailLimit = 0;
};

} // namespace kaprin
