// The --log file: one line per download, appended, so that a production line keeps a
// record of every scanner it flashed. Columns, separated by tabs (a stored path may hold
// blanks): local start time with its UTC offset, port, file, outcome and result code,
// duration in seconds, blocks sent. Several stations may share one file: each line goes
// out in a single write to a file opened for appending, so lines never interleave.
#pragma once

#include "kaprin/cli/job_monitor.h"

#include <ctime>
#include <string>

namespace kaprin::cli {

// The line for a download, without the line end; `local` is its start in local time.
std::string FormatLogLine(const DownloadRecord& record, const std::tm& local,
                          long utcOffsetSeconds);

class DownloadLog {
public:
    DownloadLog() = default;
    ~DownloadLog();
    DownloadLog(const DownloadLog&) = delete;
    DownloadLog& operator=(const DownloadLog&) = delete;

    // Opens (creates) the file for appending, "-" standard output; a non-empty result is
    // the system's error.
    std::string Open(const std::string& path);
    bool open() const { return fd_ >= 0; }
    // Appends the line; false when it could not be written.
    bool Append(const DownloadRecord& record);

private:
    int fd_ = -1;
};

} // namespace kaprin::cli
