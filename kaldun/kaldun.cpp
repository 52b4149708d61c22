#include "kaldun/kaldun.h"

#include "converter.h"

extern "C" KALDUN_API int32_t KALDUN(const char* path) {
    // No exception may cross the export; running out of memory is the only one possible.
    try {
        return static_cast<int32_t>(kaldun::convert(path));
    } catch (...) {
        return static_cast<int32_t>(kaldun::Result::BankFileFailed);
    }
}
