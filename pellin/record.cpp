#include "record.h"

namespace pellin {

namespace {

char* PutHex(char* out, uint8_t value) {
    static const char digits[] = "0123456789ABCDEF";
    *out++ = digits[value >> 4];
    *out++ = digits[value & 0x0F];
    return out;
}

} // namespace

uint8_t RecordChecksum(const uint8_t* bytes, size_t count) {
    uint8_t sum = 0;
    for (size_t i = 0; i < count; ++i)
        sum = static_cast<uint8_t>(sum + bytes[i]);
    return static_cast<uint8_t>(-sum);
}

uint8_t FormatControlFrame(char* out, uint8_t type, const uint8_t* data, uint8_t count) {
    const uint8_t head[4] = {count, 0, 0, type};
    const uint8_t sum = static_cast<uint8_t>(RecordChecksum(head, 4) + RecordChecksum(data, count));

    // Written as a data record, then marked as a control frame.
    char* p = out;
    *p++ = ':';
    for (uint8_t b : head)
        p = PutHex(p, b);
    for (uint8_t i = 0; i < count; ++i)
        p = PutHex(p, data[i]);
    p = PutHex(p, sum);
    *p++ = '\n';
    *p = '\0';
    out[0] = '=';
    return sum;
}

} // namespace pellin
