// One Intel HEX record: decoding an input line and encoding a bank file line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kaldun {

// Longest input line, line end not counted; a longer line fails to decode.
inline constexpr std::size_t kMaxLineLength = 600;

struct Record {
    uint8_t length = 0;
    uint16_t address = 0;
    uint8_t type = 0;
    uint8_t data[255] = {};
};

enum class DecodeStatus {
    Ok,
    NotRecord,   // first character is not ':'
    BadDigit,    // a character before the stop is not a hexadecimal digit
    BadChecksum, // the bytes do not sum to 0
    BadLength,   // the number of bytes is not L + 5 (an odd digit count included)
};

// Value of a hexadecimal digit of either case, or -1.
int hexDigitValue(char c);

// True for a line of nothing but characters of code 32 or less.
bool isBlankLine(std::string_view line);

// Decodes one line. The record text ends at the first character below '0' or above code
// 127; the line end and anything after such a character are ignored. On failure `record`
// is left unchanged.
DecodeStatus decodeLine(std::string_view line, Record& record);

// Appends ":" LL AAAA 00 data CC CR LF (upper-case hexadecimal) for a data record.
void appendDataLine(std::string& out, uint16_t address, const uint8_t* data, std::size_t length);

// Appends "=" LL 0000 TT data CC CR LF: a control line of the PLN file.
void appendControlLine(std::string& out, uint8_t type, const uint8_t* data, std::size_t length);

} // namespace kaldun
