#include "kaprin/record/image_pin.h"

#include "kaprin/prefs/language.h"
#include "kaprin/record/download_log.h"

#include <cerrno>
#include <sstream>
#include <sys/stat.h>

namespace kaprin::record {

namespace {

// A checksum list larger than this is not one a person wrote for a firmware folder.
constexpr std::size_t kMaxSumsBytes = 1 << 20;

std::string BaseName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string DirName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 || errno != ENOENT;
}

} // namespace

std::optional<std::string> NormalisePin(const std::string& text) {
    if (text.size() != 64)
        return std::nullopt;
    std::string pin = text;
    for (char& c : pin) {
        if (c >= 'A' && c <= 'F')
            c = static_cast<char>(c - 'A' + 'a');
        else if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return std::nullopt;
    }
    return pin;
}

std::optional<std::string> PinFromSumsText(const std::string& text, const std::string& name) {
    std::istringstream in(text);
    std::string line;
    const std::string wanted = BaseName(name);
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        // "<hash>  <name>" (text mode) or "<hash> *<name>" (binary mode).
        if (line.size() < 66 || line[64] != ' ' || (line[65] != ' ' && line[65] != '*'))
            continue;
        auto hash = NormalisePin(line.substr(0, 64));
        if (hash && BaseName(line.substr(66)) == wanted)
            return hash;
    }
    return std::nullopt;
}

PinVerdict CheckImagePin(const std::string& image, const PinRule& rule) {
    PinVerdict v;
    const std::string name = BaseName(image);
    // 1. Where the pin comes from: the explicit one, else the first checksum file there is.
    if (!rule.expected.empty()) {
        v.source = "--expect-sha256";
        v.expected = NormalisePin(rule.expected).value_or(rule.expected);
    } else {
        for (const std::string& file : {image + ".sha256", DirName(image) + "/SHA256SUMS"}) {
            if (!Exists(file))
                continue;
            v.source = file;
            const auto text = ReadWholeFile(file, kMaxSumsBytes);
            if (!text) {
                v.refusal = "the checksum file " + file + " cannot be read";
                return v;
            }
            const auto pin = PinFromSumsText(*text, name);
            if (!pin) {
                v.refusal = "the checksum file " + file + " has no SHA-256 for " + name;
                return v;
            }
            v.expected = *pin;
            break;
        }
    }
    if (v.expected.empty() && !rule.required) {
        v.allowed = true;
        return v;
    }
    // 2. The image itself.
    v.actual = Sha256OfFile(image);
    if (v.expected.empty()) {
        v.refusal = name + " is not pinned: give its SHA-256 (--expect-sha256, " + name +
                    ".sha256 or SHA256SUMS beside it)";
    } else if (v.actual.empty()) {
        v.refusal = "the image " + image + " cannot be read to check its SHA-256";
    } else if (v.actual != v.expected) {
        v.refusal = name + " has SHA-256 " + v.actual + ", but " + v.source + " pins " + v.expected;
    } else {
        v.allowed = true;
    }
    return v;
}

} // namespace kaprin::record
