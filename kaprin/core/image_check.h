// Whether an image is worth sending: an empty, NUL-filled or cut-short file is refused
// before anything reaches the device.
#pragma once

#include <cstddef>
#include <string>

namespace kaprin {

// True when the PLN file holds at least one data line (":" and a record header).
bool HasDataRecords(const std::string& path);
// True when the HEX file holds its end-of-file record (type 01).
bool HasHexEndRecord(const std::string& path);

// True when a PLN image, read as a job of `passes` passes reads it, would visibly not reach
// the device whole; a file that cannot be read is left to the library. Cut when, within
// those passes:
// - a data line is not a whole record: hexadecimal pairs, as many as its length byte says,
//   summing to 0 (what a device accepts and the converter writes);
// - the file ends inside a block begun with header lines, before its closing line (the
//   converter closes every bank with one);
// - the file ends in a line without its line end that is a data line (never sent) or is no
//   whole record (a line cut off).
// A file cut exactly after a closing line cannot be told from an image of fewer banks.
bool IsCutPlnImage(const std::string& path, int passes);

// The download library takes paths of at most this many bytes.
inline constexpr std::size_t kMaxImagePathBytes = 259;
bool ImagePathFits(const std::string& path);

} // namespace kaprin
