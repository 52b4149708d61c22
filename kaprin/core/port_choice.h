// The port a download uses, as the person names it: "COM<n>" with its number. Every
// "COM<n>" text of the model is built here; reading one is the serial component's
// RS232_ComNumber (comm::ParseComName).
#pragma once

#include <string>

namespace kaprin {

inline std::string ComName(int number) {
    return "COM" + std::to_string(number);
}

} // namespace kaprin
