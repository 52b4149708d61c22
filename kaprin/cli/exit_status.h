// Exit statuses of kaprin-cli. A finished single run reports the download library's
// own result code, so a script can tell a time-out (1) from a checksum error (2) and
// so on; the statuses from 64 on say why no transfer was made or the program stopped.
#pragma once

#include <stdexcept>
#include <string>

namespace kaprin::cli {

enum ExitStatus : int {
    kExitOk = 0,
    kExitFileNotFound = 5,      // same meaning and text as the library's result 5
    kExitOtherLibraryCode = 63, // a library result outside 1 to 62
    kExitUsage = 64,            // bad option, or a question with nobody to answer it
    kExitConversionFailed = 65,
    kExitNoFile = 66,       // the file box is empty
    kExitDeclined = 67,     // a question was answered No
    kExitEmptyImage = 68,   // no data records, a HEX image without its end record, a cut PLN
    kExitPortUnusable = 69, // the port cannot be opened
    kExitFatal = 70,        // a library or one of its exports is missing
    kExitLogFile = 73,      // the --log file cannot be opened
    kExitConfig = 78,       // the settings file cannot be used
    kExitInterrupted = 130, // Ctrl-C before a single run had finished
};

// The status for a library result code of a failed transfer.
inline int ExitForLibraryCode(int code) {
    return code >= 1 && code < kExitOtherLibraryCode ? code : kExitOtherLibraryCode;
}

// Ends the station from deep inside a handler: the message goes to standard error.
struct CliExit : std::runtime_error {
    CliExit(int status_, const std::string& message)
        : std::runtime_error(message), status(status_) {}
    int status;
};

} // namespace kaprin::cli
