// The record file of an update set (".SAV"): six lines, slot 1 first, each ended by
// CR LF. Texts are kept as their bytes, which on Linux is UTF-8.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>

namespace kaprin {

inline constexpr int kSegmentSlots = 6;
// The longest line a record file may hold, in bytes (a path is far shorter).
inline constexpr std::size_t kMaxRecordLine = 4096;
using SegmentSet = std::array<std::string, kSegmentSlots>;

// Reads a record file byte by byte. A file that cannot be opened, or that is not a regular
// file, reads nothing; a line longer than kMaxRecordLine fails the read.
class RecordReader {
public:
    explicit RecordReader(const std::string& path);
    ~RecordReader();
    RecordReader(const RecordReader&) = delete;
    RecordReader& operator=(const RecordReader&) = delete;

    bool IsOpen() const { return fd_ >= 0; }

    // The next line without its LF; CR bytes are dropped wherever they stand. At the end
    // of the file the line read so far (empty once the file is used up). Nothing when
    // the file is not open or a read failed.
    std::optional<std::string> ReadRecordLine();

private:
    // The next byte, -1 at the end of the file, -2 on a read error.
    int NextByte();

    int fd_ = -1;
    bool failed_ = false;
    char buffer_[4096];
    long filled_ = 0;
    long next_ = 0;
};

// Writes the six lines, replacing the whole file: a longer earlier file does not keep
// its tail. The file is written beside its final name and renamed over it, so a failed
// write leaves the earlier file as it was. Returns false when the file was not written.
bool WriteRecordFile(const std::string& path, const SegmentSet& slots);

} // namespace kaprin
