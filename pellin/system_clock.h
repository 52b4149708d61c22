// The real clock: monotonic milliseconds and a plain sleep.
#pragma once

#include "transport.h"

namespace pellin {

Clock SystemClock();

} // namespace pellin
