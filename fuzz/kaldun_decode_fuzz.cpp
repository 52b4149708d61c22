// Fuzz target for the line decoder: no input may crash it, and whatever it accepts must come
// back unchanged through the encoder.
#include "hex_line.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    (void)kaldun::isBlankLine(line);

    kaldun::Record record;
    if (kaldun::decodeLine(line, record) != kaldun::DecodeStatus::Ok)
        return 0;

    std::string text;
    kaldun::appendDataLine(text, record.address, record.data, record.length);
    if (text.size() != 1 + 2 * (record.length + 5u) + 2 || text.substr(text.size() - 2) != "\r\n")
        std::abort();
    kaldun::Record again;
    if (kaldun::decodeLine(text, again) != kaldun::DecodeStatus::Ok)
        std::abort();
    if (again.length != record.length || again.address != record.address || again.type != 0 ||
        std::memcmp(again.data, record.data, record.length) != 0)
        std::abort();
    return 0;
}
