#include "hex_line.h"

#include <cstring>

namespace kaldun {
namespace {

// Nibble value of a hexadecimal digit of either case, or -1.
constexpr int8_t nibbleOf(unsigned char c) {
    if (c >= '0' && c <= '9')
        return static_cast<int8_t>(c - '0');
    if (c >= 'A' && c <= 'F')
        return static_cast<int8_t>(c - 'A' + 10);
    if (c >= 'a' && c <= 'f')
        return static_cast<int8_t>(c - 'a' + 10);
    return -1;
}

struct NibbleTable {
    int8_t value[256];
    constexpr NibbleTable() : value() {
        for (int c = 0; c < 256; ++c)
            value[c] = nibbleOf(static_cast<unsigned char>(c));
    }
};
constexpr NibbleTable kNibbles;

constexpr char kHexDigits[] = "0123456789ABCDEF";

inline bool endsRecordText(unsigned char c) {
    return c < '0' || c > 127;
}

void appendLine(std::string& out, char lead, uint16_t address, uint8_t type, const uint8_t* data,
                std::size_t length) {
    const std::size_t start = out.size();
    out.resize(start + 1 + 2 * (length + 5) + 2);
    char* p = out.data() + start;
    *p++ = lead;
    uint8_t sum = 0;
    auto put = [&](uint8_t byte) {
        sum = static_cast<uint8_t>(sum + byte);
        *p++ = kHexDigits[byte >> 4];
        *p++ = kHexDigits[byte & 0x0F];
    };
    put(static_cast<uint8_t>(length));
    put(static_cast<uint8_t>(address >> 8));
    put(static_cast<uint8_t>(address & 0xFF));
    put(type);
    for (std::size_t i = 0; i < length; ++i)
        put(data[i]);
    put(static_cast<uint8_t>(-sum));
    *p++ = '\r';
    *p = '\n';
}

} // namespace

int hexDigitValue(char c) {
    return kNibbles.value[static_cast<unsigned char>(c)];
}

bool isBlankLine(std::string_view line) {
    for (unsigned char c : line)
        if (c > 32)
            return false;
    return true;
}

DecodeStatus decodeLine(std::string_view line, Record& record) {
    if (line.empty() || line[0] != ':')
        return DecodeStatus::NotRecord;

    // A line of kMaxLineLength characters holds at most this many bytes.
    uint8_t bytes[kMaxLineLength / 2];
    std::size_t count = 0;
    std::size_t i = 1;
    const std::size_t n = line.size();
    uint8_t sum = 0;
    while (i < n && !endsRecordText(static_cast<unsigned char>(line[i]))) {
        const int8_t high = kNibbles.value[static_cast<unsigned char>(line[i])];
        if (high < 0)
            return DecodeStatus::BadDigit;
        if (i + 1 >= n || endsRecordText(static_cast<unsigned char>(line[i + 1])))
            return DecodeStatus::BadLength; // half a byte before the stop
        const int8_t low = kNibbles.value[static_cast<unsigned char>(line[i + 1])];
        if (low < 0)
            return DecodeStatus::BadDigit;
        if (count == sizeof bytes)
            return DecodeStatus::BadLength;
        const auto byte = static_cast<uint8_t>(high << 4 | low);
        bytes[count++] = byte;
        sum = static_cast<uint8_t>(sum + byte);
        i += 2;
    }
    if (sum != 0)
        return DecodeStatus::BadChecksum;
    if (count < 5 || count != static_cast<std::size_t>(bytes[0]) + 5)
        return DecodeStatus::BadLength;

    record.length = bytes[0];
    record.address = static_cast<uint16_t>(bytes[1] << 8 | bytes[2]);
    record.type = bytes[3];
    std::memset(record.data, 0, sizeof record.data);
    std::memcpy(record.data, bytes + 4, record.length);
    return DecodeStatus::Ok;
}

void appendDataLine(std::string& out, uint16_t address, const uint8_t* data, std::size_t length) {
    appendLine(out, ':', address, 0x00, data, length);
}

void appendControlLine(std::string& out, uint8_t type, const uint8_t* data, std::size_t length) {
    appendLine(out, '=', 0x0000, type, data, length);
}

} // namespace kaldun
