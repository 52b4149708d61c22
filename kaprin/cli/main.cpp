// kaprin-cli: the utility on a terminal, for production stations without a display.
// Binds the model to the terminal, the shared settings store and the real libraries.
#include "kaprin/base/port_choice.h"
#include "kaprin/base/program_dir.h"
#include "kaprin/cli/cli_options.h"
#include "kaprin/cli/close_signals.h"
#include "kaprin/cli/exit_status.h"
#include "kaprin/cli/port_list.h"
#include "kaprin/cli/station.h"
#include "kaprin/cli/steady_clock.h"
#include "kaprin/core/command_line.h"
#include "kaprin/core/library_binding.h"
#include "kaprin/record/line_report.h"
#include "kaprin/serial/system_serial_ports.h"
#include "kaprin/store/qsettings_store.h"
#include "kaprin/version.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// --report: each station's downloads from the journal, as a table or as JSON.
int RunReport(const kaprin::cli::CliOptions& options) {
    using namespace kaprin::record;
    const auto now =
        static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                       std::chrono::system_clock::now().time_since_epoch())
                                       .count());
    std::uint64_t since = 0;
    if (!options.since.empty()) {
        const auto parsed = ParseSince(options.since, now);
        if (!parsed) {
            std::fprintf(stderr,
                         "kaprin-cli: --since: \"%s\" is not a time (2026-12-08, "
                         "\"2026-12-08 06:00\", today, yesterday, -8h)\n",
                         options.since.c_str());
            return kaprin::cli::kExitUsage;
        }
        since = *parsed;
    }
    std::vector<ReportEntry> entries;
    const std::string error = ReadReportEntries(options.journalDir, since, entries);
    if (!error.empty()) {
        std::fprintf(stderr, "kaprin-cli: cannot read the journal%s%s: %s\n",
                     options.journalDir.empty() ? "" : " in ", options.journalDir.c_str(),
                     error.c_str());
        return kaprin::cli::kExitReport;
    }
    const auto stations = Summarise(std::move(entries));
    const std::string text =
        options.json
            ? ReportJson(stations).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) +
                  "\n"
            : FormatReport(stations);
    std::fputs(text.c_str(), stdout);
    return kaprin::cli::kExitOk;
}

} // namespace

int main(int argc, char** argv) {
    using namespace kaprin::cli;
    std::vector<std::string> args(argv + 1, argv + argc);
    ParsedOptions parsed = ParseCliOptions(args);
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "kaprin-cli: %s\nTry kaprin-cli --help.\n", parsed.error.c_str());
        return kExitUsage;
    }
    const CliOptions& options = parsed.options;
    if (std::string problem = kaprin::CommandWordsProblem(options.modelWords); !problem.empty()) {
        std::fprintf(stderr, "kaprin-cli: %s\nTry kaprin-cli --help.\n", problem.c_str());
        return kExitUsage;
    }
    if (options.help) {
        std::fputs(kUsage.c_str(), stdout);
        return kExitOk;
    }
    if (options.version) {
        std::printf("kaprin-cli %s\n", kaprin::kVersionText);
        return kExitOk;
    }
    if (options.report)
        return RunReport(options);

    const std::string programDir = kaprin::RunningProgramDir(argv[0]);
    const QString settingsPath = kaprin::QSettingsStore::DefaultPath();
    if (std::string problem = kaprin::QSettingsStore::FileProblem(settingsPath); !problem.empty()) {
        std::fprintf(stderr, "kaprin-cli: %s: remove it or point XDG_CONFIG_HOME elsewhere\n",
                     problem.c_str());
        return kExitConfig;
    }
    kaprin::QSettingsStore settings(settingsPath);
    settings.onLockHeld = [](const std::string& problem) {
        std::fprintf(stderr, "kaprin-cli: %s\n", problem.c_str());
    };
    kaprin::SystemSerialPorts serial(programDir);
    serial.onMapProblem = [](const std::string& problem) {
        std::fprintf(stderr, "kaprin-cli: %s\n", problem.c_str());
    };
    if (!options.mapEdits.empty() || options.listPorts) {
        const auto devices = serial.Detect();
        for (const auto& [number, given] : options.mapEdits) {
            // A found device is stored by its stable path, so that it is found again after a
            // re-plug.
            const kaprin::SerialDevice* device = kaprin::FindDevice(devices, given);
            const std::string path = device ? kaprin::StablePathOf(*device, devices).path : given;
            if (!kaprin::comm::WritePortMapEntry(settings, number, path)) {
                std::fprintf(stderr, "kaprin-cli: cannot save the port map to %s\n",
                             settings.Location().c_str());
                return kExitConfig;
            }
            if (path != given)
                std::printf("%s=%s\n", kaprin::ComName(number).c_str(), path.c_str());
            else if (!path.empty() && !kaprin::InspectDeviceFile(path).present)
                std::fprintf(stderr, "kaprin-cli: note: %s does not exist now\n", path.c_str());
        }
        if (options.listPorts) {
            const kaprin::comm::PortMap map = kaprin::comm::ReadPortMap(settings);
            serial.SetPortMap(map);
            const std::int32_t baud = options.baud.value_or(kaprin::comm::ReadBaudRate(settings));
            std::fputs(FormatPortList(ListPorts(serial, baud), devices).c_str(), stdout);
            if (options.watch)
                WatchDevices(serial, devices, InstallCloseSignals());
        }
        return kExitOk;
    }

    int signalFd = InstallCloseSignals();
    SteadyClock clock;
    StationBindings bindings{settings, clock,
                             [&](kaprin::MessageServices& w) -> std::unique_ptr<kaprin::PellinApi> {
                                 return std::make_unique<kaprin::PellinLibrary>(w, programDir);
                             },
                             [&](kaprin::MessageServices& w) -> std::unique_ptr<kaprin::KaldunApi> {
                                 return std::make_unique<kaprin::KaldunLibrary>(w, programDir);
                             },
                             &serial};
    int status = RunStation(options, programDir, TerminalIo::Probe(0, 1, signalFd), bindings);
    std::fflush(stdout);
    return status;
}
