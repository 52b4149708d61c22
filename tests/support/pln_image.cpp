#include "pln_image.h"

#include <cstdio>

namespace testsupport {

namespace {

std::string Record(char lead, unsigned address, unsigned type,
                   const std::vector<unsigned char>& bytes) {
    std::vector<unsigned char> all{
        static_cast<unsigned char>(bytes.size()), static_cast<unsigned char>(address >> 8),
        static_cast<unsigned char>(address), static_cast<unsigned char>(type)};
    all.insert(all.end(), bytes.begin(), bytes.end());
    unsigned char sum = 0;
    for (unsigned char b : all)
        sum = static_cast<unsigned char>(sum + b);
    all.push_back(static_cast<unsigned char>(-sum));
    std::string text(1, lead);
    for (unsigned char b : all) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02X", b);
        text += hex;
    }
    return text;
}

} // namespace

std::string DataRecord(unsigned address, const std::vector<unsigned char>& bytes) {
    return Record(':', address, 0x00, bytes);
}

std::string ControlRecord(unsigned type, const std::vector<unsigned char>& bytes) {
    return Record('=', 0, type, bytes);
}

std::string MakePlnImage(const PlnLayout& layout) {
    std::string image;
    for (int bank = 0; bank < layout.banks; ++bank) {
        if (layout.headers) {
            image += ControlRecord(0x01, {0, static_cast<unsigned char>(bank)}) + layout.lineEnd;
            image += ControlRecord(0x02, {0, static_cast<unsigned char>(bank)}) + layout.lineEnd;
        }
        for (int line = 0; line < layout.linesPerBank; ++line) {
            const unsigned address = static_cast<unsigned>(line * 16);
            std::vector<unsigned char> bytes(16);
            for (unsigned i = 0; i < 16; ++i)
                bytes[i] = static_cast<unsigned char>((address + i) * 7 + bank);
            image += DataRecord(address, bytes) + layout.lineEnd;
        }
        image += "=0000000000" + layout.lineEnd;
    }
    return image;
}

} // namespace testsupport
