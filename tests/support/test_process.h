// What a test sets or reads of its own process and of the programs it starts.
#pragma once

#include <string>
#include <sys/types.h>

namespace testsupport {

// Points port COM<number> of the serial component at path for this process.
void MapComPort(int number, const std::string& path);

// CPU seconds (user and system) a running process, or one of its threads, has used so far;
// -1 when /proc does not tell.
double CpuSeconds(pid_t pid, pid_t thread = 0);

} // namespace testsupport
