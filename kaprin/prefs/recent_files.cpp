#include "kaprin/prefs/recent_files.h"

namespace kaprin {

std::string FileNamePart(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace kaprin
