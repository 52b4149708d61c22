// Whether an image is worth sending: an empty, NUL-filled or cut-short file is refused
// before anything reaches the device.
#pragma once

#include <string>

namespace kaprin {

// True when the PLN file holds at least one data line (":" and a record header).
bool HasDataRecords(const std::string& path);
// True when the HEX file holds its end-of-file record (type 01).
bool HasHexEndRecord(const std::string& path);

} // namespace kaprin
