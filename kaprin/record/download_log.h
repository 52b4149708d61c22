// The production record of every transfer, from either front end: one tab-separated line
// appended to a log file, and one structured entry in the system journal.
//
// Line columns: local start time with its UTC offset, port, image, outcome and result
// code, duration in seconds, then the blocks sent followed by the station's host name,
// the port's device and the image's SHA-256. Several stations may share one file: each
// line goes out in a single write to a file opened for appending, so lines never
// interleave. Fields are escaped so that no byte of a path can start a column or a line:
// backslash as \\, tab as \t, CR as \r, LF as \n, other control bytes as \xHH.
#pragma once

#include "kaprin/base/ports.h"

#include <chrono>
#include <ctime>
#include <functional>
#include <string>

namespace kaprin::record {

// A record with what the writer adds to it.
struct StampedRecord {
    DownloadRecord record;
    std::chrono::system_clock::time_point started;
    std::string host;
    std::string device; // the path the port names
};

// "ok", "failed" or "interrupted".
const char* OutcomeWord(RecordOutcome outcome);
// The outcome word and the result code: "ok 0", "failed 3"; an interrupted transfer has
// no code (0 would read as success).
std::string OutcomeText(const DownloadRecord& r);

// The line for a transfer, without the line end; `local` is its start in local time.
std::string FormatLogLine(const StampedRecord& r, const std::tm& local, long utcOffsetSeconds);

// Appends `line` and a line end to the file in one write; an empty text, or the
// system's error. A write cut short (a full disk) is completed when it can; when the file
// ends in such a cut line, the next line starts on a line of its own.
std::string AppendLine(const std::string& path, const std::string& line);

// Checks that the file can be opened for appending (creating it); the system's error.
std::string CheckLogFile(const std::string& path);

// Sends the structured journal entry (SYSLOG_IDENTIFIER=kaprin); false when no journal
// could be reached.
bool SendToJournal(const StampedRecord& r);

// SHA-256 of a regular file in lower-case hex; empty when it cannot be read.
std::string Sha256OfFile(const std::string& path);

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

    std::string ImageDigest(const std::string& path) override { return Sha256OfFile(path); }
    void Write(const DownloadRecord& record) override;

    int transfers() const { return transfers_; }
    int good() const { return good_; }
    int interrupted() const { return interrupted_; }
    // Lines of the log file that could not be written, all told.
    int unwritten() const { return unwritten_; }

private:
    std::function<std::string()> logPath_;
    std::function<std::string(std::int32_t)> deviceOf_;
    int transfers_ = 0;
    int good_ = 0;
    int interrupted_ = 0;
    int unwritten_ = 0;
    int failingSince_ = 0; // lines lost since the last one written
    std::string failingPath_;
};

// A station's closing count: "12 download(s): 11 good, 1 failed; 0 alert(s)"; transfers
// cut off by closing and lines lost from the log file are named only when there were any.
std::string SummaryText(const RecordWriter& writer, int alerts);

} // namespace kaprin::record
