// PLN images made up for tests and the benchmark.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

// A data record line of count bytes at address (no line end).
std::string DataRecord(unsigned address, const std::vector<unsigned char>& bytes);

// A control record line ("=..."), e.g. ControlRecord(0x01, {0, 3}) for the announce of bank 3.
std::string ControlRecord(unsigned type, const std::vector<unsigned char>& bytes);

struct PlnLayout {
    int banks = 8;        // blocks in the file
    int linesPerBank = 4; // data lines of 16 bytes in each block
    bool headers = true;  // announce and prepare lines before each block's data
    std::string lineEnd = "\r\n";
};

// A PLN image as the converter writes it: per bank the announce and prepare lines, the data
// lines, and "=0000000000". Data bytes are a simple function of the address.
std::string MakePlnImage(const PlnLayout& layout);

} // namespace testsupport
