// A private temporary folder for one test, removed with everything in it.
#pragma once

#include <ctime>
#include <filesystem>
#include <string>

namespace kaprin::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

    // Writes `content` to `name` (bytes as given) and returns the full path.
    std::string Write(const std::string& name, const std::string& content) const;
    std::string Read(const std::string& name) const;
    // Sets the last-modified (and last-access) time of a file, in seconds since the epoch.
    static void SetTimes(const std::string& file, std::time_t modified);

private:
    std::filesystem::path path_;
};

// Reads a whole file; empty when it cannot be read.
std::string ReadTextFile(const std::string& path);

} // namespace kaprin::test
