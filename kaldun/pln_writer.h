// Writing the PLN file from the eight bank files.
#pragma once

#include "banks.h"
#include "result.h"

#include <string>

namespace kaldun {

// The PLN name for an input path: its last three characters replaced by "PLN".
std::string plnPathFor(const std::string& path);

// Writes the PLN file: for each bank its announce and prepare lines, the bank file's lines as
// they stand and the closing line. The text goes to a temporary file beside `plnPath`, which
// is renamed over it only when all of it is written; on failure the temporary file is removed
// and an existing PLN file is left as it was. BankFileFailed when a bank file fails to open or
// to be read, PlnCreateFailed when the PLN file fails to be created, written or renamed.
Result writePln(const BankFolder& banks, const std::string& plnPath);

} // namespace kaldun
