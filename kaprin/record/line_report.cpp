#include "kaprin/record/line_report.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <set>
#include <tuple>

namespace kaprin::record {

namespace {

std::optional<double> Median(std::vector<double> v) {
    if (v.empty())
        return std::nullopt;
    std::sort(v.begin(), v.end());
    const std::size_t mid = v.size() / 2;
    return v.size() % 2 ? v[mid] : (v[mid - 1] + v[mid]) / 2;
}

std::string Fixed(std::optional<double> v, const char* format) {
    if (!v)
        return "-";
    char text[32];
    std::snprintf(text, sizeof text, format, *v);
    return text;
}

} // namespace

std::vector<StationSummary> Summarise(std::vector<ReportEntry> entries) {
    std::sort(entries.begin(), entries.end(), [](const ReportEntry& a, const ReportEntry& b) {
        return std::tie(a.host, a.station, a.usec) < std::tie(b.host, b.station, b.usec);
    });
    std::vector<StationSummary> out;
    std::set<std::string> units;
    int unitsTransferred = 0, firstPass = 0;
    std::vector<double> cycles;
    std::uint64_t lastUsec = 0;
    auto finish = [&] {
        if (out.empty())
            return;
        if (unitsTransferred > 0)
            out.back().firstPassYield = static_cast<double>(firstPass) / unitsTransferred;
        out.back().medianCycleSeconds = Median(cycles);
    };
    for (const ReportEntry& e : entries) {
        if (out.empty() || out.back().host != e.host || out.back().station != e.station) {
            finish();
            out.push_back({});
            out.back().host = e.host;
            out.back().station = e.station;
            units.clear();
            unitsTransferred = firstPass = 0;
            cycles.clear();
            lastUsec = 0;
        }
        StationSummary& s = out.back();
        if (e.outcome == "refused") {
            ++s.refused;
            continue;
        }
        ++s.downloads;
        if (e.outcome == "ok")
            ++s.good;
        else
            ++s.failedByCode[e.code.empty() ? e.outcome : e.code];
        if (e.unit.empty() || units.insert(e.unit).second) {
            ++unitsTransferred;
            firstPass += e.outcome == "ok";
        }
        if (lastUsec)
            cycles.push_back(static_cast<double>(e.usec - lastUsec) / 1e6);
        lastUsec = e.usec;
    }
    finish();
    return out;
}

std::string FormatReport(const std::vector<StationSummary>& stations) {
    std::string t = "host\tstation\tdownloads\tgood\tfailed by code\trefused\tfirst-pass "
                    "yield\tmedian cycle\n";
    for (const StationSummary& s : stations) {
        std::string failed;
        for (const auto& [code, n] : s.failedByCode)
            failed += (failed.empty() ? "" : ", ") + code + ":" + std::to_string(n);
        t += s.host + "\t" + s.station + "\t" + std::to_string(s.downloads) + "\t" +
             std::to_string(s.good) + "\t" + (failed.empty() ? "-" : failed) + "\t" +
             std::to_string(s.refused) + "\t" +
             Fixed(s.firstPassYield ? std::optional<double>(*s.firstPassYield * 100) : std::nullopt,
                   "%.1f %%") +
             "\t" + Fixed(s.medianCycleSeconds, "%.1f s") + "\n";
    }
    if (stations.empty())
        t += "(no downloads)\n";
    return t;
}

nlohmann::json ReportJson(const std::vector<StationSummary>& stations) {
    nlohmann::json list = nlohmann::json::array();
    for (const StationSummary& s : stations) {
        auto optional = [](std::optional<double> v) {
            return v ? nlohmann::json(*v) : nlohmann::json();
        };
        list.push_back({{"host", s.host},
                        {"station", s.station},
                        {"downloads", s.downloads},
                        {"good", s.good},
                        {"failed_by_code", s.failedByCode},
                        {"refused", s.refused},
                        {"first_pass_yield", optional(s.firstPassYield)},
                        {"median_cycle_seconds", optional(s.medianCycleSeconds)}});
    }
    return {{"v", 1}, {"event", "report"}, {"stations", list}};
}

std::optional<std::uint64_t> ParseSince(const std::string& text, std::uint64_t nowUsec) {
    constexpr std::uint64_t kSecond = 1000000;
    if (text.size() >= 3 && text[0] == '-') {
        const char unit = text.back();
        const std::uint64_t scale = unit == 'm' ? 60 : unit == 'h' ? 3600 : unit == 'd' ? 86400 : 0;
        const std::string digits = text.substr(1, text.size() - 2);
        if (!scale || digits.empty() || digits.size() > 6 ||
            digits.find_first_not_of("0123456789") != std::string::npos)
            return std::nullopt;
        const std::uint64_t back = std::stoull(digits) * scale * kSecond;
        return back > nowUsec ? 0 : nowUsec - back;
    }
    std::tm t{};
    const std::time_t now = static_cast<std::time_t>(nowUsec / kSecond);
    if (text == "today" || text == "yesterday") {
        localtime_r(&now, &t);
        t.tm_hour = t.tm_min = t.tm_sec = 0;
        t.tm_mday -= text == "yesterday";
    } else {
        const char* const formats[] = {"%Y-%m-%d %H:%M:%S", "%Y-%m-%d %H:%M", "%Y-%m-%d"};
        bool parsed = false;
        for (const char* format : formats) {
            t = std::tm{};
            const char* end = strptime(text.c_str(), format, &t);
            if ((parsed = end && *end == '\0'))
                break;
        }
        if (!parsed)
            return std::nullopt;
    }
    t.tm_isdst = -1;
    const std::time_t when = mktime(&t);
    if (when < 0)
        return std::nullopt;
    return static_cast<std::uint64_t>(when) * kSecond;
}

} // namespace kaprin::record
