// Stop requests reach WaitForStop with their names: the system's, delivered the way the system
// delivers them (a signal on Linux, a console control event on Windows), and the program's own.
#include "devhost/stop_request.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>

#ifdef _WIN32
#include "devhost/console_control_test_support.h"
#else
#include <signal.h>
#include <unistd.h>
#endif

namespace Vane::DevHost {
namespace {

// WaitForStop on a thread of its own, with a limit: a request that never arrives fails the
// test instead of hanging it.
std::string TakeRequest() {
    std::future<std::string> taken = std::async(std::launch::async, [] { return WaitForStop(); });
    if (taken.wait_for(std::chrono::seconds(20)) == std::future_status::ready) return taken.get();
    RequestStop();
    return "nothing within 20 s, then " + taken.get();
}

#ifdef _WIN32
bool SystemRequest(DWORD event) {
    return testing::DeliverConsoleControl(::GetCurrentProcess(), event);
}
#else
bool SystemRequest(int signal) {
    return kill(getpid(), signal) == 0;
}
#endif

TEST(StopRequest, EachRequestIsTakenOnceAndNamed) {
    // Handling first: until then these requests would end the test program.
    ASSERT_TRUE(InstallStopHandling());
    ASSERT_TRUE(InstallStopHandling());
#ifdef _WIN32
    ASSERT_TRUE(SystemRequest(CTRL_C_EVENT));
    EXPECT_EQ(TakeRequest(), "Ctrl-C");
    ASSERT_TRUE(SystemRequest(CTRL_BREAK_EVENT));
    EXPECT_EQ(TakeRequest(), "Ctrl-Break");
    // Its handler holds the system's thread for good, so the process lives on until the main
    // thread ends it: still here to take the request.
    ASSERT_TRUE(SystemRequest(CTRL_CLOSE_EVENT));
    EXPECT_EQ(TakeRequest(), "console close");
    const std::string own = "stop request";
#else
    ASSERT_TRUE(SystemRequest(SIGINT));
    EXPECT_EQ(TakeRequest(), "SIGINT");
    ASSERT_TRUE(SystemRequest(SIGTERM));
    EXPECT_EQ(TakeRequest(), "SIGTERM");
    const std::string own = "SIGTERM";
#endif
    std::future<void> requested = std::async(std::launch::async, [] { RequestStop(); });
    EXPECT_EQ(TakeRequest(), own);
    requested.get();
}

}  // namespace
}  // namespace Vane::DevHost
