#include "kaprin/prefs/language.h"

#include "kaprin/base/regular_file.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <dirent.h>
#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kaprin {

namespace {

// Byte length of the UTF-8 sequence that starts with `lead`, 0 when it cannot start one.
int SequenceLength(unsigned char lead) {
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

// Byte offsets of the characters of a valid UTF-8 text, plus its end.
std::vector<std::size_t> CharOffsets(const std::string& text) {
    std::vector<std::size_t> offsets;
    std::size_t i = 0;
    while (i < text.size()) {
        offsets.push_back(i);
        int n = SequenceLength(static_cast<unsigned char>(text[i]));
        i += n > 0 ? static_cast<std::size_t>(n) : 1;
    }
    offsets.push_back(std::min(i, text.size()));
    return offsets;
}

// Characters 2 to 5 of an entry line as an id: a whole number, blanks around it allowed.
std::optional<std::int16_t> ParseId(std::string digits) {
    auto first = digits.find_first_not_of(' ');
    auto last = digits.find_last_not_of(' ');
    if (first == std::string::npos)
        return std::nullopt;
    digits = digits.substr(first, last - first + 1);
    if (!digits.empty() && digits[0] == '+')
        digits.erase(0, 1);
    std::int16_t id = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), id);
    if (ec != std::errc() || end != digits.data() + digits.size())
        return std::nullopt;
    return id;
}

bool EndsWithIni(const std::string& name) {
    if (name.size() < 4)
        return false;
    std::string tail = name.substr(name.size() - 4);
    for (char& c : tail)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return tail == ".ini";
}

bool EqualIgnoreCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string Big5ToUtf8(const std::string& bytes) {
    iconv_t cd = iconv_open("UTF-8", "CP950");
    if (cd == reinterpret_cast<iconv_t>(-1))
        cd = iconv_open("UTF-8", "BIG5");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return bytes; // no converter on this system: the bytes as they are
    std::string out;
    std::string in = bytes;
    char* inPtr = in.data();
    std::size_t inLeft = in.size();
    char buffer[1024];
    while (inLeft > 0) {
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        std::size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
        if (r == static_cast<std::size_t>(-1)) {
            if (errno == E2BIG)
                continue;
            // A byte that starts no Big5 character, or a cut-off pair at the end.
            out += "\xEF\xBF\xBD";
            ++inPtr;
            --inLeft;
        }
    }
    iconv_close(cd);
    return out;
}

} // namespace

bool IsValidUtf8(const std::string& bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        auto lead = static_cast<unsigned char>(bytes[i]);
        int n = SequenceLength(lead);
        if (n == 0 || i + static_cast<std::size_t>(n) > bytes.size())
            return false;
        for (int k = 1; k < n; ++k) {
            if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80)
                return false;
        }
        if (n >= 3) {
            auto second = static_cast<unsigned char>(bytes[i + 1]);
            // Overlong forms, UTF-16 surrogates and code points above U+10FFFF.
            if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) ||
                (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F))
                return false;
        }
        i += static_cast<std::size_t>(n);
    }
    return true;
}

std::string DecodeLanguageText(const std::string& bytes) {
    if (IsValidUtf8(bytes))
        return bytes.rfind("\xEF\xBB\xBF", 0) == 0 ? bytes.substr(3) : bytes;
    return Big5ToUtf8(bytes);
}

std::optional<std::string> ReadWholeFile(const std::string& path, std::size_t maxBytes) {
    const int fd = OpenRegularFile(path);
    if (fd < 0)
        return std::nullopt;
    std::string bytes;
    char buffer[4096];
    while (bytes.size() < maxBytes) {
        ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, maxBytes - bytes.size()));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return bytes;
}

bool LangTable::LoadFile(const std::string& path) {
    auto bytes = ReadWholeFile(path, kMaxFileBytes);
    if (!bytes)
        return false;
    // A file cut at the limit ends at its last whole line.
    if (bytes->size() == kMaxFileBytes) {
        auto lastLf = bytes->rfind('\n');
        if (lastLf != std::string::npos)
            bytes->resize(lastLf + 1);
    }
    LoadText(DecodeLanguageText(*bytes));
    return true;
}

void LangTable::LoadText(const std::string& text) {
    int slot = 0;
    std::size_t start = 0;
    while (start < text.size() && slot < kSlots) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        line.erase(std::remove(line.begin(), line.end(), '\r'), line.end());
        if (line.empty() || line[0] != '#')
            continue;
        // "#", four characters of id, one separator, then the text.
        auto offsets = CharOffsets(line);
        std::size_t chars = offsets.size() - 1;
        if (chars < 6)
            continue;
        auto id = ParseId(line.substr(offsets[1], offsets[5] - offsets[1]));
        if (!id)
            continue;
        slots_[slot].id = *id;
        slots_[slot].text = line.substr(offsets[6]);
        ++slot;
    }
}

std::string LangTable::Text(std::int16_t id) const {
    for (const auto& slot : slots_) {
        if (slot.id == id)
            return slot.text;
    }
    return {};
}

std::string FindIgnoreCase(const std::string& dir, const std::string& name) {
    const std::string exact = dir + "/" + name;
    struct stat st {};
    if (::stat(exact.c_str(), &st) == 0)
        return exact;
    if (DIR* d = ::opendir(dir.empty() ? "." : dir.c_str())) {
        std::string found;
        while (dirent* e = ::readdir(d)) {
            if (EqualIgnoreCase(e->d_name, name)) {
                found = dir + "/" + e->d_name;
                break;
            }
        }
        ::closedir(d);
        if (!found.empty())
            return found;
    }
    return exact;
}

std::vector<std::string> ListLanguageFiles(const std::string& dir) {
    std::vector<std::string> names;
    DIR* d = ::opendir(dir.c_str());
    if (!d)
        return names;
    while (dirent* e = ::readdir(d)) {
        std::string name = e->d_name;
        if (!EndsWithIni(name))
            continue;
        struct stat st {};
        if (::stat((dir + "/" + name).c_str(), &st) == 0 && S_ISREG(st.st_mode))
            names.push_back(name);
    }
    ::closedir(d);
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                            [](char x, char y) {
                                                return std::tolower(static_cast<unsigned char>(x)) <
                                                       std::tolower(static_cast<unsigned char>(y));
                                            });
    });
    return names;
}

} // namespace kaprin
