// File times as the operator sees them, and the existence test for ordinary files.
#pragma once

#include <compare>
#include <optional>
#include <string>

namespace kaprin {

struct ListBox;
class LangTable;

// A local date and time to the second, as a file's record gives it.
struct FileDate {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    auto operator<=>(const FileDate&) const = default;
};

struct FileTimes {
    FileDate created, modified, accessed;
    bool creationKept = false; // false: the file system keeps no creation time
};

// True when `path` names an existing ordinary file that can be read. Folders, empty
// paths, paths with the wildcard characters "*" or "?", and paths that cannot be
// examined or read count as missing.
bool FileExists(const std::string& path);

// The three times of an existing file. Where the file system keeps no creation time,
// `created` is the last-modified time.
std::optional<FileTimes> ReadFileTimes(const std::string& path);

// "2005/03/07" and "21:05:03".
std::string FormatFileDate(const FileDate& t);
std::string FormatFileTime(const FileDate& t);

// The last-modified time of a file; all fields 0 when the path names no file.
FileDate FileInfo(const std::string& path);

// The three time lines of an existing file (replacing the list), or the line
// `path` + " isn't exist." added below what the list holds.
void ShowFileTimes(ListBox& list, const LangTable& texts, const std::string& path);

} // namespace kaprin
