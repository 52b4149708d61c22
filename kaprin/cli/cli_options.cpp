#include "kaprin/cli/cli_options.h"

#include "kaprin/core/command_line.h"
#include "kaprin/prefs/comm_settings.h"
#include "kaprin/record/image_pin.h"

#include <array>
#include <charconv>
#include <string_view>

namespace kaprin::cli {

const std::string kUsage =
    std::string(R"(Usage: kaprin-cli [-A | -C | -S | -D] [-F=FILE] [-E<n>] [options]

Downloads firmware into a scanner on a serial port, from a terminal or a script.
The program's own words, with the same meaning and settings as the window program:
)") +
    kCommandWordsHelp +
    R"(
Options of this front end (they are not stored):
  --port PORT   use COM N (1 to 20, or COMN) instead of the stored port, or a device
                path (/dev/ttyUSB0, /dev/serial/by-id/...) for the stored port
  --baud RATE   use this baud rate instead of the stored one
  --once        one manual run of the file, then end; the exit status is 0 for a
                good download and the library's result code otherwise
  --yes, --no   answer every question Yes or No (needed when there is no terminal)
  --log FILE    append one line per download to FILE ("-": standard output)
  --expect-sha256 HASH  download the image only when its SHA-256 is HASH (without it,
                a FILE.sha256 or SHA256SUMS beside the image pins it, in sha256sum's
                format); a refused image ends kaprin-cli with status 77
  --require-pin refuse an image that nothing pins
  --unit-id TEXT   the unit's id in the record of this run
  --ask-unit    read the unit's id (one line, e.g. from a label scanner) from standard
                input before each download
  --order TEXT  the work order in the record
  --station NAME   the station's name in the record, events and metrics (default: the
                port's device name)
  --events FD|PATH write one JSON object per state change (JSON Lines)
  --metrics-dir DIR  write Prometheus metrics to DIR/kaprin-<station>.prom
  --report      print each station's downloads from the journal, then end; with
                --since TIME (2026-12-08 06:00, today, -8h), --journal-dir DIR (a
                collector's folder) and --json
  --list-ports  show COM1 to COM20, the device each one names, and whether it opens,
                then the serial devices found with their descriptions and by-id paths
  --watch       with --list-ports: then print each serial device that comes or goes,
                until Ctrl-C
  --map COMN=PATH  store PATH as the device of COM N (for every later run)
  --unmap COMN     clear the stored device of COM N
  --help, --version
)";

namespace {

std::optional<long> WholeNumber(std::string_view text) {
    long value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// The options that only store their text, and those that only switch something on.
std::string CliOptions::*TextOption(const std::string& name) {
    static const std::pair<const char*, std::string CliOptions::*> options[] = {
        {"--unit-id", &CliOptions::unitId},         {"--order", &CliOptions::order},
        {"--station", &CliOptions::station},        {"--events", &CliOptions::events},
        {"--metrics-dir", &CliOptions::metricsDir}, {"--since", &CliOptions::since},
        {"--journal-dir", &CliOptions::journalDir}};
    for (const auto& [option, field] : options)
        if (name == option)
            return field;
    return nullptr;
}

bool CliOptions::*FlagOption(const std::string& name) {
    static const std::pair<const char*, bool CliOptions::*> options[] = {
        {"--once", &CliOptions::once},        {"--list-ports", &CliOptions::listPorts},
        {"--watch", &CliOptions::watch},      {"--help", &CliOptions::help},
        {"--version", &CliOptions::version},  {"--require-pin", &CliOptions::requirePin},
        {"--ask-unit", &CliOptions::askUnit}, {"--report", &CliOptions::report},
        {"--json", &CliOptions::json}};
    for (const auto& [option, field] : options)
        if (name == option)
            return field;
    return nullptr;
}

} // namespace

ParsedOptions ParseCliOptions(const std::vector<std::string>& args) {
    ParsedOptions parsed;
    CliOptions& o = parsed.options;
    std::vector<std::string>& modelWords = o.modelWords;
    bool ownOptions = true;

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (!ownOptions || word.rfind("--", 0) != 0) {
            if (!word.empty())
                modelWords.push_back(word);
            continue;
        }
        if (word == "--") {
            ownOptions = false;
            continue;
        }
        std::string name = word;
        std::optional<std::string> value;
        if (auto eq = word.find('='); eq != std::string::npos) {
            name = word.substr(0, eq);
            value = word.substr(eq + 1);
        }
        auto takeValue = [&]() -> std::optional<std::string> {
            if (value)
                return value;
            if (i + 1 < args.size())
                return args[++i];
            parsed.error = name + " needs a value";
            return std::nullopt;
        };
        auto noValue = [&]() {
            if (value)
                parsed.error = name + " takes no value";
            return !value;
        };

        if (name == "--port") {
            auto text = takeValue();
            if (!text)
                return parsed;
            if (!text->empty() && text->front() == '/') {
                if (text->size() > kMaxPathBytes) {
                    parsed.error = "--port: the device path is longer than " +
                                   std::to_string(kMaxPathBytes) + " bytes";
                    return parsed;
                }
                o.portPath = *text;
                o.port.reset();
                continue;
            }
            auto n = WholeNumber(*text);
            if (!n)
                n = comm::ParseComName(*text);
            if (!n || *n < 1 || *n > comm::kPorts) {
                parsed.error = "--port: \"" + *text +
                               "\" is not a port number from 1 to 20, COM1 to COM20 or a "
                               "device path";
                return parsed;
            }
            o.port = static_cast<int>(*n);
            o.portPath.clear();
        } else if (name == "--baud") {
            auto text = takeValue();
            if (!text)
                return parsed;
            auto n = WholeNumber(*text);
            if (!n || *n < kMinBaud || *n > kMaxBaud) {
                parsed.error = "--baud: \"" + *text + "\" is not a baud rate from " +
                               std::to_string(kMinBaud) + " to " + std::to_string(kMaxBaud);
                return parsed;
            }
            o.baud = static_cast<int>(*n);
        } else if (name == "--log") {
            auto text = takeValue();
            if (!text)
                return parsed;
            if (text->empty()) {
                parsed.error = "--log needs a file name";
                return parsed;
            }
            o.logFile = *text;
        } else if (name == "--expect-sha256") {
            auto text = takeValue();
            if (!text)
                return parsed;
            // Empty: no pin (a station's configuration without KAPRIN_IMAGE_SHA256).
            const auto pin = record::NormalisePin(*text);
            if (!text->empty() && !pin) {
                parsed.error = "--expect-sha256: \"" + *text + "\" is not 64 hex digits";
                return parsed;
            }
            o.expectSha256 = pin.value_or("");
        } else if (std::string CliOptions::*field = TextOption(name)) {
            auto text = takeValue();
            if (!text)
                return parsed;
            // --order and --metrics-dir may be empty: a station's unset configuration.
            if (text->empty() && name != "--order" && name != "--metrics-dir") {
                parsed.error = name + " needs a value";
                return parsed;
            }
            o.*field = *text;
        } else if (name == "--map" || name == "--unmap") {
            auto text = takeValue();
            if (!text)
                return parsed;
            const bool map = name == "--map";
            const auto eq = text->find('=');
            const std::string port = map && eq != std::string::npos ? text->substr(0, eq) : *text;
            const std::string path = map && eq != std::string::npos ? text->substr(eq + 1) : "";
            const auto n = comm::ParseComName(port);
            if (!n || (map && eq == std::string::npos)) {
                parsed.error = name + ": \"" + *text + "\" is not " +
                               (map ? "COM<n>=PATH" : "COM<n>") + " with n from 1 to 20";
                return parsed;
            }
            if (map && (path.empty() || path.front() != '/' || path.size() > kMaxPathBytes)) {
                parsed.error = "--map: \"" + path + "\" is not a device path (it starts with /)";
                return parsed;
            }
            o.mapEdits.emplace_back(*n, path);
        } else if (name == "--yes" || name == "--no") {
            if (!noValue())
                return parsed;
            AnswerPolicy wanted = name == "--yes" ? AnswerPolicy::Yes : AnswerPolicy::No;
            if (o.answers != AnswerPolicy::Ask && o.answers != wanted) {
                parsed.error = "--yes and --no exclude each other";
                return parsed;
            }
            o.answers = wanted;
        } else if (bool CliOptions::*flag = FlagOption(name)) {
            if (!noValue())
                return parsed;
            o.*flag = true;
        } else {
            parsed.error = "unknown option " + name;
            return parsed;
        }
    }
    if (o.askUnit && !o.unitId.empty())
        parsed.error = "--ask-unit and --unit-id exclude each other";
    else if (!o.report && (!o.since.empty() || !o.journalDir.empty() || o.json))
        parsed.error = "--since, --journal-dir and --json belong to --report";
    else if (o.watch && !o.listPorts)
        parsed.error = "--watch goes with --list-ports";
    return parsed;
}

} // namespace kaprin::cli
