// Opening a file to read it whole: a FIFO would block the open until a writer comes and a
// device such as /dev/zero never ends, so only a regular file is read, and opening never
// waits. Writing one whole, however the system splits the write.
#pragma once

#include <string>
#include <string_view>

namespace kaprin {

// A descriptor open for reading, or -1 when the path cannot be opened or is not a regular
// file. The caller closes it.
int OpenRegularFile(const std::string& path);

// Writes all of `bytes`, resuming after a short or interrupted write: empty when done,
// else the system's error.
std::string WriteAll(int fd, std::string_view bytes);

} // namespace kaprin
