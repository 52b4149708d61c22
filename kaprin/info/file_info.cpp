#include "kaprin/info/file_info.h"

#include "kaprin/base/control.h"
#include "kaprin/prefs/language.h"

#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kaprin {

namespace {

FileDate LocalDate(std::int64_t seconds) {
    std::time_t t = static_cast<std::time_t>(seconds);
    std::tm local{};
    if (!localtime_r(&t, &local))
        return {};
    return FileDate{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                    local.tm_hour,        local.tm_min,     local.tm_sec};
}

std::optional<struct statx> StatFile(const std::string& path) {
    if (path.empty() || path.find_first_of("*?") != std::string::npos)
        return std::nullopt;
    struct statx st {};
    if (statx(AT_FDCWD, path.c_str(), 0, STATX_TYPE | STATX_BASIC_STATS | STATX_BTIME, &st) != 0)
        return std::nullopt;
    if (!S_ISREG(st.stx_mode))
        return std::nullopt;
    if (::access(path.c_str(), R_OK) != 0)
        return std::nullopt;
    return st;
}

std::string TimeLine(const std::string& label, const FileDate& t) {
    return label + " : " + FormatFileDate(t) + " " + FormatFileTime(t);
}

} // namespace

bool FileExists(const std::string& path) {
    return StatFile(path).has_value();
}

std::optional<FileTimes> ReadFileTimes(const std::string& path) {
    auto st = StatFile(path);
    if (!st)
        return std::nullopt;
    FileTimes times;
    times.modified = LocalDate(st->stx_mtime.tv_sec);
    times.accessed = LocalDate(st->stx_atime.tv_sec);
    times.creationKept = (st->stx_mask & STATX_BTIME) != 0;
    times.created = times.creationKept ? LocalDate(st->stx_btime.tv_sec) : times.modified;
    return times;
}

std::string FormatFileDate(const FileDate& t) {
    char text[32];
    std::snprintf(text, sizeof text, "%d/%02d/%02d", t.year, t.month, t.day);
    return text;
}

std::string FormatFileTime(const FileDate& t) {
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.hour, t.minute, t.second);
    return text;
}

FileDate FileInfo(const std::string& path) {
    auto times = ReadFileTimes(path);
    return times ? times->modified : FileDate{};
}

void ShowFileTimes(ListBox& list, const LangTable& texts, const std::string& path) {
    auto times = ReadFileTimes(path);
    if (!times) {
        list.items.push_back(path + " isn't exist.");
        return;
    }
    list.items.clear();
    list.listIndex = -1;
    list.items.push_back(TimeLine(texts.Text(1320), times->created));
    list.items.push_back(TimeLine(texts.Text(1321), times->modified));
    list.items.push_back(TimeLine(texts.Text(1322), times->accessed));
}

} // namespace kaprin
