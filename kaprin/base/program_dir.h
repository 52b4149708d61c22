// The folder of the running program: the libraries, the language files and the help page
// are looked for beside it.
#pragma once

#include <string>

namespace kaprin {

// From the system's link to the running program; where that cannot be read, from `argv0`
// (may be null), else ".".
std::string RunningProgramDir(const char* argv0 = nullptr);

} // namespace kaprin
