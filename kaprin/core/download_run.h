// The outcome of one download, whichever front end ran it, and the one table that turns
// an outcome into the status text of the main window.
#pragma once

#include <cstdint>
#include <string>

namespace kaprin {

enum class RunResult {
    Finished,         // the transfer ended without error
    NoFile,           // the file box is empty
    FileNotFound,     // the chosen file is not an ordinary file
    EmptyImage,       // no data records, or a HEX image without its end-of-file record
    ConversionFailed, // `code` is the converter's result
    Declined,         // No to the transfer question
    PortUnusable,     // the probe says the port cannot be used
    Stopped,          // Stop ended the wait for the device
    TransferFailed,   // `code` is the library's result
    CutImage,         // the PLN image visibly cut short
    PathTooLong,      // the image's path is longer than the library takes
    Refused,          // the image's pin did not hold: nothing converted or sent
};

struct DownloadOutcome {
    RunResult result = RunResult::Stopped;
    std::int32_t code = 0;
    std::int32_t blocks = 0;
    std::int32_t percent = 0;
    std::uint32_t durationMs = 0;

    bool Transferred() const {
        return result == RunResult::Finished || result == RunResult::TransferFailed;
    }
};

// Numbered texts of the language file that the run shows.
enum class TextId : std::int16_t {
    ConvertNewerImage = 1300,
    ConvertWithoutPln = 1302,
    StartTransfer = 1304,
    ChecksumError = 1306,
    TimeOut = 1311,
    ProgramFail = 1312,
    NoLink = 1313,
    CannotOpen = 1314,
    OtherError = 1315,
    ConversionFailed = 1316,
    BlockBefore = 1317,
    BlockAfter = 1318,
    Finished = 1319,
    AutoLooking = 1323,
    AutoAlert = 1324,
    WaitingForDevice = 1325,
    Stopped = 1326,
    EmptyImage = 1327,
    NoisyLine = 1328,
    CutImage = 1329,
    PathTooLong = 1330,
    NextTry = 1331, // %1 seconds
};

// What panel 1 shows for an outcome.
struct StatusText {
    enum Kind { Keep, Clear, Text, TextAndCode } kind = Keep;
    TextId id = TextId::OtherError;
};

StatusText StatusTextOf(const DownloadOutcome& outcome);

} // namespace kaprin
