// Text from paths, device strings and hand-edited settings shown one item per line: no
// byte of it may start a column or a line of its own.
#pragma once

#include <string>

namespace kaprin {

// Backslash as \\, tab as \t, CR as \r, LF as \n, any other control byte (and DEL) as
// \xHH with two upper-case hex digits; everything else as it is.
std::string EscapeControlBytes(const std::string& text);

} // namespace kaprin
