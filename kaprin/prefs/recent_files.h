// The recent-files list of the File menu: four paths in the settings store, newest first.
#pragma once

#include <string>

namespace kaprin {

// The text after the last "/" of `path`; `path` itself when it holds none.
std::string FileNamePart(const std::string& path);

} // namespace kaprin
