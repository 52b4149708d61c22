// Fuzz target for a whole conversion. The first byte chooses the input form (one .HEX file,
// a series X.H00..X.H02, or a .HEC pair with its numbered files) and whether the length and
// checksum of each record line are set right first, so that the placement is reached often;
// the rest is the text, split into the files of the form at each byte 0xFF. Checked after every
// run: the result is one of the documented codes, a PLN file exists exactly on success and has
// eight blocks, and nothing is left behind: no bank folder under TMPDIR, no temporary file beside
// the PLN.
#include "converter.h"
#include "hex_line.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::string makeDir(const char* name) {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/" + name + "-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        std::abort();
    return pattern;
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::size_t entryCount(const std::string& dir) {
    DIR* d = ::opendir(dir.c_str());
    if (!d)
        std::abort();
    std::size_t count = 0;
    while (dirent* e = ::readdir(d))
        if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
            ++count;
    ::closedir(d);
    return count;
}

void removeAll(const std::string& dir) {
    DIR* d = ::opendir(dir.c_str());
    if (!d)
        return;
    while (dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..")
            ::unlink((dir + "/" + name).c_str());
    }
    ::closedir(d);
}

// Rewrites the length and checksum digits of every line that starts with ':' and holds an
// even number of at least ten hexadecimal digits.
void fixRecords(std::string& text) {
    static const char hex[] = "0123456789ABCDEF";
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        if (text[at] == ':') {
            std::size_t i = at + 1;
            while (i < end && kaldun::hexDigitValue(text[i]) >= 0)
                ++i;
            const std::size_t digits = i - at - 1;
            if (digits >= 10 && digits % 2 == 0 && digits / 2 - 5 <= 255) {
                const unsigned length = static_cast<unsigned>(digits / 2 - 5);
                text[at + 1] = hex[length >> 4];
                text[at + 2] = hex[length & 15];
                unsigned sum = 0;
                for (std::size_t k = at + 1; k + 2 < i; k += 2)
                    sum += static_cast<unsigned>(kaldun::hexDigitValue(text[k]) << 4 |
                                                 kaldun::hexDigitValue(text[k + 1]));
                const unsigned check = (0x100 - (sum & 0xFF)) & 0xFF;
                text[i - 2] = hex[check >> 4];
                text[i - 1] = hex[check & 15];
            }
        }
        at = end + 1;
    }
}

void checkPln(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    const std::string pln = text.str();
    std::size_t closing = 0;
    for (std::size_t at = 0; (at = pln.find("=0000000000\r\n", at)) != std::string::npos; ++at)
        ++closing;
    if (closing != 8 || pln.rfind("=020000010000FD\r\n", 0) != 0)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Kept for the whole run (never freed), and removed when the process exits.
    static const std::string& work = *new std::string(makeDir("kaldun-fuzz-work"));
    static const std::string& tmp = *new std::string(makeDir("kaldun-fuzz-tmp"));
    static const bool ready = [] {
        ::setenv("TMPDIR", tmp.c_str(), 1);
        std::atexit([] {
            removeAll(work);
            ::rmdir(work.c_str());
            ::rmdir(tmp.c_str());
        });
        return true;
    }();
    (void)ready;
    if (size == 0)
        return 0;

    static const char* const kForms[3][4] = {
        {"X.HEX", nullptr, nullptr, nullptr},
        {"X.H00", "X.H01", "X.H02", nullptr},
        {"X.HEC", "X.HE0", "X.HE1", "X.HE2"},
    };
    const auto& names = kForms[data[0] % 3];
    std::vector<std::string> parts(1);
    for (size_t i = 1; i < size; ++i) {
        if (data[i] == 0xFF && parts.size() < 4)
            parts.emplace_back();
        else
            parts.back() += static_cast<char>(data[i]);
    }
    std::size_t files = 0;
    for (; files < parts.size() && names[files]; ++files) {
        if (data[0] & 0x10)
            fixRecords(parts[files]);
        writeFile(work + "/" + names[files], parts[files]);
    }

    const std::string input = work + "/" + names[0];
    const kaldun::Result result = kaldun::convert(input.c_str());
    const std::string pln = work + "/X.PLN";
    struct stat st;
    const bool written = ::stat(pln.c_str(), &st) == 0;
    switch (result) {
    case kaldun::Result::Written:
        if (!written)
            std::abort();
        checkPln(pln);
        break;
    case kaldun::Result::CompanionOpenFailed:
    case kaldun::Result::BadLine:
    case kaldun::Result::BadPageAddress:
        if (written)
            std::abort();
        break;
    default:
        std::abort(); // nothing in this setting can fail to open or be created
    }
    // No bank folder under TMPDIR, no temporary PLN beside the inputs.
    if (entryCount(tmp) != 0 || entryCount(work) != files + (written ? 1 : 0))
        std::abort();
    removeAll(work);
    return 0;
}
