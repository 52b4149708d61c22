// The whole conversion of a HEX image into a PLN image.
#pragma once

#include "result.h"

#include <cstddef>

namespace kaldun {

// Longest path accepted, its NUL included.
inline constexpr std::size_t kPathBufferSize = 256;

// Converts the image named by `path` (see kaldun.h for the inputs and results).
Result convert(const char* path);

} // namespace kaldun
