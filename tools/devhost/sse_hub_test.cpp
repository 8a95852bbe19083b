#include "devhost/sse_hub.h"

#include <gtest/gtest.h>

#include <thread>

namespace Vane::DevHost {
namespace {

using namespace std::chrono_literals;

TEST(SseHub, FormatsOneDataLinePerLine) {
    EXPECT_EQ(FormatSseMessage("OnX", R"({"a":1})"), "event: OnX\ndata: {\"a\":1}\n\n");
    EXPECT_EQ(FormatSseMessage("On\nX", "a\r\nb\n"), "event: On X\ndata: a\ndata: b\ndata: \n\n");
    EXPECT_EQ(FormatSseMessage("E", ""), "event: E\ndata: \n\n");
}

TEST(SseHub, EveryClientGetsEveryEventAndSlowOnesAreToldWhatTheyLost) {
    SseHub hub(2);
    auto a = hub.Connect();
    auto b = hub.Connect();
    hub.Publish("One", "1");
    std::string text;
    ASSERT_TRUE(hub.Next(*a, text, 0ms));
    EXPECT_EQ(text, "event: One\ndata: 1\n\n");
    hub.Publish("Two", "2");
    hub.Publish("Three", "3");
    ASSERT_TRUE(hub.Next(*b, text, 0ms));  // b holds at most two: "One" was dropped
    EXPECT_EQ(text,
              ": 1 events dropped, the client fell behind\n\nevent: Two\ndata: 2\n\n"
              "event: Three\ndata: 3\n\n");
    ASSERT_TRUE(hub.Next(*a, text, 0ms));
    EXPECT_EQ(text, "event: Two\ndata: 2\n\nevent: Three\ndata: 3\n\n");
    ASSERT_TRUE(hub.Next(*a, text, 0ms));
    EXPECT_EQ(text, "");  // timed out: nothing new

    hub.Disconnect(b);
    EXPECT_FALSE(hub.Next(*b, text, 0ms));
    EXPECT_EQ(hub.ClientCount(), 1u);
}

TEST(SseHub, CloseWakesAWaitingStreamAndRefusesNewOnes) {
    SseHub hub;
    auto client = hub.Connect();
    bool ended = false;
    std::thread reader([&] {
        std::string text;
        ended = !hub.Next(*client, text, 60s);
    });
    std::this_thread::sleep_for(20ms);
    hub.Close();
    reader.join();
    EXPECT_TRUE(ended);
    EXPECT_EQ(hub.Connect(), nullptr);
}

TEST(SseHub, TheClientLimitRefusesOnlyWhileFullAndSaysWhy) {
    SseHub hub;
    hub.SetClientLimit(2);
    SseRefusal why = SseRefusal::kClosed;
    auto a = hub.Connect(&why);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(why, SseRefusal::kNone);
    auto b = hub.Connect();
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(hub.Connect(&why), nullptr);
    EXPECT_EQ(why, SseRefusal::kFull);

    // A client that leaves makes room for exactly one more.
    hub.Disconnect(a);
    auto c = hub.Connect(&why);
    EXPECT_NE(c, nullptr);
    EXPECT_EQ(hub.Connect(&why), nullptr);
    EXPECT_EQ(why, SseRefusal::kFull);

    // A limit of none refuses everyone; closing wins over being full.
    hub.SetClientLimit(0);
    hub.Disconnect(b);
    hub.Disconnect(c);
    EXPECT_EQ(hub.Connect(&why), nullptr);
    EXPECT_EQ(why, SseRefusal::kFull);
    hub.SetClientLimit(5);
    hub.Close();
    EXPECT_EQ(hub.Connect(&why), nullptr);
    EXPECT_EQ(why, SseRefusal::kClosed);
}

}  // namespace
}  // namespace Vane::DevHost
