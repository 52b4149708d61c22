// Ctrl-C (SIGINT), SIGTERM and SIGHUP as readable bytes: the handler only writes the
// signal's number into a pipe, and the event pump polls the pipe's read end beside the
// terminal, so a close request reaches the model between two steps, never inside one.
#pragma once

namespace kaprin::cli {

// A second request ends the process at once with status 130, whether or not the first was
// read: a program stuck where it cannot see the pipe, or in its close, still ends.
// Installs the handlers once per process and returns the pipe's read end (non-blocking),
// or -1 when no pipe could be made. A signal that the process inherited as ignored
// (nohup ignores SIGHUP) is left ignored. SIGPIPE is ignored: a closed pipe on standard output
// must not end a station in the middle of a download.
int InstallCloseSignals();

} // namespace kaprin::cli
