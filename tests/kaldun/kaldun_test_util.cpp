#include "kaldun_test_util.h"

#include "kaldun/kaldun.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace kaldun_test {

std::string rec(uint16_t address, uint8_t type, const Bytes& data, char lead) {
    Bytes all = {static_cast<uint8_t>(data.size()), static_cast<uint8_t>(address >> 8),
                 static_cast<uint8_t>(address), type};
    all.insert(all.end(), data.begin(), data.end());
    unsigned sum = 0;
    for (uint8_t b : all)
        sum += b;
    all.push_back(static_cast<uint8_t>(-sum));
    std::string text(1, lead);
    char hex[3];
    for (uint8_t b : all) {
        std::snprintf(hex, sizeof hex, "%02X", b);
        text += hex;
    }
    return text;
}

Bytes counting(std::size_t n, uint8_t first) {
    Bytes bytes(n);
    for (std::size_t i = 0; i < n; ++i)
        bytes[i] = static_cast<uint8_t>(first + i);
    return bytes;
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

bool exists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

std::vector<std::string> listDir(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

int32_t callKaldun(const char* path) {
    using Fn = decltype(&::KALDUN);
    static const Fn fn = [] {
        const std::string dir = std::filesystem::read_symlink("/proc/self/exe").parent_path();
        void* lib = ::dlopen((dir + "/libKALDUN.so").c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!lib)
            throw std::runtime_error(::dlerror());
        auto f = reinterpret_cast<Fn>(::dlsym(lib, "KALDUN"));
        if (!f)
            throw std::runtime_error("KALDUN not exported");
        return f;
    }();
    return fn(path);
}

std::string plnText(const std::vector<std::vector<std::string>>& banks) {
    std::string text;
    for (std::size_t b = 0; b < 8; ++b) {
        text += rec(0, 0x01, {0, static_cast<uint8_t>(b)}, '=') + "\r\n";
        text += rec(0, 0x02, {0, static_cast<uint8_t>(b)}, '=') + "\r\n";
        if (b < banks.size())
            for (const std::string& line : banks[b])
                text += line + "\r\n";
        text += "=0000000000\r\n";
    }
    return text;
}

namespace {

bool parseRecord(const std::string& line, uint16_t& address, uint8_t& type, Bytes& data) {
    if (line.size() < 11 || (line.size() - 1) % 2 != 0)
        return false;
    Bytes bytes;
    for (std::size_t i = 1; i + 1 < line.size(); i += 2) {
        const std::string pair = line.substr(i, 2);
        if (pair.find_first_not_of("0123456789ABCDEFabcdef") != std::string::npos)
            return false;
        bytes.push_back(static_cast<uint8_t>(std::stoul(pair, nullptr, 16)));
    }
    unsigned sum = 0;
    for (uint8_t b : bytes)
        sum += b;
    if (sum % 256 != 0 || bytes.size() != bytes[0] + 5u)
        return false;
    address = static_cast<uint16_t>(bytes[1] << 8 | bytes[2]);
    type = bytes[3];
    data.assign(bytes.begin() + 4, bytes.end() - 1);
    return true;
}

std::vector<std::string> splitLines(const std::string& text, bool crlf) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t lf = text.find('\n', at);
        if (lf == std::string::npos)
            lf = text.size();
        std::string line = text.substr(at, lf - at);
        if (crlf && !line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        at = lf + 1;
    }
    return lines;
}

} // namespace

Image imageOfPln(const std::string& pln, std::string& error) {
    Image image;
    error.clear();
    if (pln.size() < 2 || pln.substr(pln.size() - 2) != "\r\n") {
        error = "does not end with CR LF";
        return image;
    }
    for (std::size_t at = 0; (at = pln.find('\n', at)) != std::string::npos; ++at)
        if (at == 0 || pln[at - 1] != '\r') {
            error = "a line does not end with CR LF";
            return image;
        }
    const std::vector<std::string> lines = splitLines(pln, true);
    std::size_t i = 0;
    for (int b = 0; b < 8; ++b) {
        if (i + 2 > lines.size() || lines[i] != rec(0, 1, {0, uint8_t(b)}, '=') ||
            lines[i + 1] != rec(0, 2, {0, uint8_t(b)}, '=')) {
            error = "bad header lines of block " + std::to_string(b);
            return image;
        }
        i += 2;
        const uint32_t page = b < 4 ? 0 : (b < 6 ? 1 : 2);
        const uint32_t base = b < 4 ? b * 0x4000u : (b % 2 == 0 ? 0x8000u : 0xC000u);
        for (; i < lines.size() && !lines[i].empty() && lines[i][0] == ':'; ++i) {
            uint16_t address;
            uint8_t type;
            Bytes data;
            if (!parseRecord(lines[i], address, type, data) || type != 0 || address < 0x4000 ||
                address + data.size() > 0x8000 || data.size() > 27 ||
                lines[i].find_first_of("abcdef") != std::string::npos) {
                error = "bad data line " + lines[i];
                return image;
            }
            for (std::size_t k = 0; k < data.size(); ++k)
                image[page << 16 | (base + address - 0x4000 + k)] = data[k];
        }
        if (i >= lines.size() || lines[i] != "=0000000000") {
            error = "block " + std::to_string(b) + " lacks its closing line";
            return image;
        }
        ++i;
    }
    if (i != lines.size())
        error = "text after the eighth block";
    return image;
}

Image imageOfHex(const std::vector<std::pair<std::string, int>>& files) {
    Image image;
    for (const auto& [path, filePage] : files) {
        int page = filePage < 0 ? 0 : filePage;
        for (const std::string& line : splitLines(ReadTextFile(path), true)) {
            uint16_t address;
            uint8_t type;
            Bytes data;
            if (line.empty() || !parseRecord(line, address, type, data))
                continue;
            if (filePage < 0 && type == 0x02 && !data.empty() && data[0] != 0)
                page = data[0] >> 4; // segment 1000 is page 1, 2000 page 2
            if (filePage < 0 && type == 0x04)
                page = data[1];
            if (type != 0)
                continue;
            for (std::size_t k = 0; k < data.size(); ++k) {
                const uint32_t a = address + k;
                if (page == 0 || a >= 0x8000)
                    image[uint32_t(page) << 16 | a] = data[k];
            }
        }
    }
    return image;
}

} // namespace kaldun_test
