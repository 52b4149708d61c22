// Helpers of the converter tests: record lines built from their fields, a scratch folder,
// the library's export loaded by name, and an independent reading of PLN and HEX images.
#pragma once

#include "temp_dir.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kaldun_test {

using Bytes = std::vector<uint8_t>;

// ":" (or `lead`) LL AAAA TT data CC, upper case, without a line end.
std::string rec(uint16_t address, uint8_t type, const Bytes& data, char lead = ':');
Bytes counting(std::size_t n, uint8_t first = 0);

using kaprin::test::ReadTextFile;
void writeFile(const std::string& path, const std::string& text);
bool exists(const std::string& path);
std::vector<std::string> listDir(const std::string& dir);

// A scratch folder removed with everything in it.
using kaprin::test::TempDir;

// KALDUN resolved by name from libKALDUN.so beside the test executable.
int32_t callKaldun(const char* path);

// The PLN text for the given lines of each bank (lines without their line end).
std::string plnText(const std::vector<std::vector<std::string>>& banks);

// Memory of the image: (page << 16 | address) -> byte; the last write wins.
using Image = std::map<uint32_t, uint8_t>;

// Reads a PLN file back into memory, checking its layout on the way; an empty error text
// means the layout is sound.
Image imageOfPln(const std::string& pln, std::string& error);

// Reads HEX files the way the converter is meant to: each file in `pages` is read for the
// page given beside it (-1: a whole .HEX file whose page records give the page), and pages 1
// and 2 keep only their upper half.
Image imageOfHex(const std::vector<std::pair<std::string, int>>& files);

} // namespace kaldun_test
