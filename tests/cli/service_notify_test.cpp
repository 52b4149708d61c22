#include "kaprin/cli/service_notify.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

// A manager that reads nothing fills its queue; the station still never waits on it.
TEST(ServiceNotify, FullQueueNeverBlocks) {
    kaprin::test::TempDir dir;
    sockaddr_un address{AF_UNIX, {}};
    (dir / "notify").copy(address.sun_path, sizeof address.sun_path - 1);
    const int manager = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ASSERT_EQ(bind(manager, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    setenv("NOTIFY_SOCKET", address.sun_path, 1);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 2000; ++i)
        kaprin::cli::NotifyReady(std::string(1000, 'x'));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    unsetenv("NOTIFY_SOCKET");
    char first[32] = {};
    EXPECT_EQ(recv(manager, first, 16, MSG_DONTWAIT), 16);
    EXPECT_STREQ(first, "READY=1\nSTATUS=x");
    close(manager);
}
