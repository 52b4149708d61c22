// The production record of every transfer, from either front end: one outcome object
// (outcome_event.h) from which both the tab-separated line appended to a log file and the
// structured entry in the system journal are made, so the two cannot disagree.
//
// Line columns: local start time with its UTC offset, port, image, outcome and result
// code, duration in seconds, then the blocks sent followed by the station's host name,
// the port's device, the image's SHA-256, the unit, the operator and the work order.
// Several stations may share one file: each line goes out in a single write to a file
// opened for appending, so lines never interleave. Fields are escaped so that no byte of
// a path can start a column or a line: backslash as \\, tab as \t, CR as \r, LF as \n,
// other control bytes as \xHH.
#pragma once

#include "kaprin/base/ports.h"
#include "kaprin/record/image_pin.h"

#include <nlohmann/json_fwd.hpp>

#include <chrono>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kaprin::record {

// Who and what a transfer was for; set by the front end before each device.
struct UnitIdentity {
    std::string unit;         // the unit's label, or empty
    std::string operatorName; // the login name
    std::string order;        // the work order, or empty
};

// A record with what the writer adds to it.
struct StampedRecord {
    DownloadRecord record;
    std::chrono::system_clock::time_point started;
    std::string host;
    std::string device;  // the path the port names
    std::string station; // the station's name: the device's file name unless given
    UnitIdentity identity;
    std::string reason; // why a refused image was refused
};

// "ok", "failed", "interrupted" or "refused".
const char* OutcomeWord(RecordOutcome outcome);
// A station's name when none is given: its device's file name ("ttyUSB0"), or the port's
// name ("COM1") where the port leads to no device.
std::string DefaultStationName(const std::string& device, int portNumber);

// The outcome object of a transfer (outcome_event.h).
nlohmann::json OutcomeObject(const StampedRecord& r);

// The log line of an outcome object, without the line end; `local` is its start in local
// time.
std::string FormatLogLine(const nlohmann::json& outcome, const std::tm& local,
                          long utcOffsetSeconds);

// The journal entry's fields ("NAME=value") of an outcome object: MESSAGE, PRIORITY,
// SYSLOG_IDENTIFIER=kaprin and one KAPRIN_<KEY> per field of the object.
std::vector<std::string> JournalFields(const nlohmann::json& outcome);

// Appends `line` and a line end to the file in one write; an empty text, or the
// system's error. A write cut short (a full disk) is completed when it can; when the file
// ends in such a cut line, the next line starts on a line of its own.
std::string AppendLine(const std::string& path, const std::string& line);

// Checks that the file can be opened for appending (creating it); the system's error.
std::string CheckLogFile(const std::string& path);

// Sends the journal entry; false when no journal could be reached.
bool SendToJournal(const std::vector<std::string>& fields);

// SHA-256 of a regular file in lower-case hex; empty when it cannot be read.
std::string Sha256OfFile(const std::string& path);

// The login name of the user running the program.
std::string LoginName();

// The record port of both front ends. `logPath` is asked at every transfer (the window
// program's choice may change while it runs); an empty path writes no line. `deviceOf`
// names the device of a port index (0 is COM1) as the serial component maps it.
class RecordWriter : public ProductionRecord {
public:
    RecordWriter(std::function<std::string()> logPath,
                 std::function<std::string(std::int32_t)> deviceOf)
        : logPath_(std::move(logPath)), deviceOf_(std::move(deviceOf)) {}

    // Called when a line cannot be written after the last one was (or for another path),
    // with the path and the system's error; not again while the file keeps failing.
    std::function<void(const std::string& path, const std::string& error)> onLogError;
    // Called when a line is written again after failures, with how many were not written.
    std::function<void(const std::string& path, int unwritten)> onLogRecovered;
    // Called with every outcome object after it is recorded (events, metrics).
    std::function<void(const nlohmann::json& outcome)> onOutcome;

    // Asked for the unit's id before each image is checked; nothing (a cancelled question)
    // refuses the download.
    std::function<std::optional<std::string>()> askUnit;

    UnitIdentity identity;
    PinRule pin;
    std::string station; // empty: the device's file name, or the port's

    std::string ImageDigest(const std::string& path) override { return Sha256OfFile(path); }
    std::string AdmitImage(std::int32_t portIndex, const std::string& image) override;
    void Write(const DownloadRecord& record) override;

    int transfers() const { return transfers_; }
    int good() const { return good_; }
    int refused() const { return refused_; }
    int interrupted() const { return interrupted_; }
    // Lines of the log file that could not be written, all told.
    int unwritten() const { return unwritten_; }

private:
    void Record(StampedRecord s);
    std::string Refuse(std::int32_t portIndex, const std::string& image, std::string sha256,
                       std::string reason);

    std::function<std::string()> logPath_;
    std::function<std::string(std::int32_t)> deviceOf_;
    int transfers_ = 0;
    int good_ = 0;
    int refused_ = 0;
    int interrupted_ = 0;
    int unwritten_ = 0;
    int failingSince_ = 0; // lines lost since the last one written
    std::string failingPath_;
};

// A station's closing count: "12 download(s): 11 good, 1 failed; 0 alert(s)"; transfers
// cut off by closing, refused images and lines lost from the log file are named only when
// there were any.
std::string SummaryText(const RecordWriter& writer, int alerts);

} // namespace kaprin::record
