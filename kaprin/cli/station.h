// One production station on a terminal: the station's model bound to the terminal's
// message services, run as the command line asks (the automatic mode for -A and -C, a
// single manual run for --once), closed as the window program closes, on Ctrl-C too.
#pragma once

#include "kaprin/base/ports.h"
#include "kaprin/cli/cli_options.h"
#include "kaprin/cli/terminal_messages.h"

#include <functional>
#include <memory>
#include <string>

namespace kaprin::cli {

// The libraries report a missing file or export through the message services, so they
// are made once the station's services exist.
struct StationBindings {
    SettingsStore& store;
    Clock& clock;
    std::function<std::unique_ptr<PellinApi>(MessageServices&)> makePellin;
    std::function<std::unique_ptr<KaldunApi>(MessageServices&)> makeKaldun;
    // The serial component's map and probe; without it the stored map is not applied and
    // the port is not checked before the automatic mode starts (and a service is told the
    // station is ready).
    SerialPorts* serial = nullptr;
};

// Runs the station and returns the exit status (exit_status.h); messages that explain a
// non-zero status go to `errFd`.
int RunStation(const CliOptions& options, const std::string& programDir, TerminalIo io,
               StationBindings bindings, int errFd = 2);

} // namespace kaprin::cli
