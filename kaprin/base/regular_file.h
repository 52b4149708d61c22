// Opening a file to read it whole: a FIFO would block the open until a writer comes and a
// device such as /dev/zero never ends, so only a regular file is read, and opening never
// waits.
#pragma once

#include <string>

namespace kaprin {

// A descriptor open for reading, or -1 when the path cannot be opened or is not a regular
// file. The caller closes it.
int OpenRegularFile(const std::string& path);

} // namespace kaprin
