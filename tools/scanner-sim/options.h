// Command-line options of the scanner simulator.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>

namespace sim {

struct Options {
    long baud = 0;                   // 0: bytes are not paced
    long turnaroundUs = 0;           // device's time from a frame's LF to its answer
    std::map<long, uint8_t> replyAt; // frame number (from 1) -> answer byte
    std::set<long> extraAt;          // frames whose answer is followed by one more byte
    uint8_t extraByte = 0x3F;        // that byte
    double refuseRate = 0;           // chance of refusing any frame
    uint8_t refuseByte = 0x15;       // the byte a random refusal answers
    unsigned seed = 1;
    long silentFrom = 0;       // from this frame on, nothing is answered (0: never)
    bool noEcho = false;       // probe bytes get no answer
    bool checkRecords = false; // NAK a frame whose checksum is wrong
    long awayMs = -1;          // after a download, the next probe starts this absence
    long exitAfter = 0;        // exit after this many complete downloads (0: never)
    long lingerMs = 500;       // quiet time that ends a download or the program
    std::string logPath;
    bool help = false;
};

// Parses argv; on a bad option returns false with a message in error.
bool ParseOptions(int argc, char** argv, Options& options, std::string& error);

extern const char kUsage[];

} // namespace sim
