#include "kaprin/base/program_dir.h"

#include <climits>
#include <cstdlib>
#include <unistd.h>

namespace kaprin {

std::string RunningProgramDir(const char* argv0) {
    char buf[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    std::string path;
    if (n > 0) {
        path.assign(buf, static_cast<std::size_t>(n));
    } else if (argv0) {
        char resolved[PATH_MAX];
        path = realpath(argv0, resolved) ? resolved : argv0;
    }
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace kaprin
