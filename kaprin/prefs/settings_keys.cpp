#include "kaprin/prefs/settings_keys.h"

#include "kaprin/base/ports.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace kaprin::settings {

std::string Trim(const std::string& text) {
    auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

namespace {

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

std::string RecentFileKey(int n) {
    return "File" + std::to_string(n);
}
std::string SegmentFileKey(int index) {
    return "File" + std::to_string(index + 1);
}

std::string BoolText(bool value) {
    return value ? "True" : "False";
}

std::optional<bool> ParseBool(const std::string& text) {
    const std::string t = Lower(Trim(text));
    if (t == "true")
        return true;
    if (t == "false")
        return false;
    if (t.empty())
        return std::nullopt;
    // Any number: 0 is off, everything else on.
    const char* begin = t.c_str();
    char* end = nullptr;
    double number = std::strtod(begin, &end);
    if (end == begin || *end != '\0' || std::isnan(number))
        return std::nullopt;
    return number != 0.0;
}

std::optional<std::int32_t> ParseWhole(const std::string& text) {
    std::string t = Trim(text);
    if (!t.empty() && t[0] == '+')
        t.erase(0, 1);
    std::int32_t value = 0;
    auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
    if (t.empty() || ec != std::errc() || end != t.data() + t.size())
        return std::nullopt;
    return value;
}

std::string WholeText(std::int32_t value) {
    return std::to_string(value);
}

bool ReadBool(SettingsStore& store, const std::string& section, const std::string& key,
              bool fallback) {
    return ParseBool(store.ReadSetting(section, key)).value_or(fallback);
}

} // namespace kaprin::settings
