#include "kaprin/cli/service_notify.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace kaprin::cli {
namespace {

// A manager that reads nothing fills its queue; the station still never waits on it.
TEST(ServiceNotify, FullQueueNeverBlocks) {
    kaprin::test::TempDir dir;
    const std::string path = dir / "notify";
    const int manager = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(manager, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(bind(manager, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    setenv("NOTIFY_SOCKET", path.c_str(), 1);

    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 2000; ++i)
        NotifyReady(std::string(1000, 'x'));
    const auto took = std::chrono::steady_clock::now() - start;
    unsetenv("NOTIFY_SOCKET");

    char first[2048] = {};
    EXPECT_GT(recv(manager, first, sizeof first, MSG_DONTWAIT), 0);
    EXPECT_EQ(std::string(first).substr(0, 16), "READY=1\nSTATUS=x");
    EXPECT_LT(took, std::chrono::seconds(2));
    close(manager);
}

} // namespace
} // namespace kaprin::cli
