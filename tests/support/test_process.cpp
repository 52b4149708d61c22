#include "test_process.h"

#include "temp_dir.h"

#include <cstdlib>
#include <sstream>
#include <unistd.h>

namespace testsupport {

void MapComPort(int number, const std::string& path) {
    setenv(("RS232_COM" + std::to_string(number)).c_str(), path.c_str(), 1);
}

double CpuSeconds(pid_t pid, pid_t thread) {
    const std::string stat = kaprin::test::ReadTextFile(
        "/proc/" + std::to_string(pid) +
        (thread ? "/task/" + std::to_string(thread) : std::string()) + "/stat");
    const auto close = stat.rfind(')');
    if (close == std::string::npos)
        return -1;
    // Fields 14 and 15 of the line (user and system time); the rest starts at field 3.
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    double ticks = 0;
    int i = 3;
    for (; i <= 15 && fields >> field; ++i)
        if (i == 14 || i == 15)
            ticks += std::stod(field);
    if (i <= 15)
        return -1;
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

} // namespace testsupport
