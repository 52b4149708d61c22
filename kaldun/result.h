// Result codes of the converter; the values are the ones the export returns.
#pragma once

#include <cstdint>

namespace kaldun {

enum class Result : int32_t {
    Written = 0,
    CompanionOpenFailed = 1,
    PlnCreateFailed = 4,
    InputOpenFailed = 5,
    BankFileFailed = 6,
    BadLine = 7,
    BadPageAddress = 8,
};

} // namespace kaldun
