// Service-proxy requests started on several threads while their answers arrive on others,
// often before the request that awaits them is registered: every answer must reach its
// callback exactly once and nothing may stay behind.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "plugin/plugin_test_support.h"

namespace Vane {
namespace {

using testing::PluginFixture;
using testing::TestValue;

TestValue Answer(const std::string& uuid) {
    TestValue v;
    v.type = kHostValueStructure;
    v.members.push_back({"uuid", TestValue::String(uuid)});
    v.members.push_back({"payload", TestValue::String("\"" + uuid + "\"")});
    return v;
}

class ServiceProxyStressTest : public PluginFixture {};

TEST_F(ServiceProxyStressTest, EveryAnswerIsDeliveredExactlyOnce) {
    ASSERT_TRUE(Initialise());
    constexpr int kRequesters = 4;
    constexpr int kRequestsEach = 200;
    constexpr int kDeliverers = 2;

    std::mutex mutex;
    std::condition_variable ready;
    std::deque<std::string> toAnswer;
    bool done = false;
    std::atomic<int> nextUuid{0};
    host.SetServiceProxyHook([&](const std::string&, const std::string&, const std::string&) {
        std::string uuid = "u" + std::to_string(nextUuid.fetch_add(1));
        {
            std::lock_guard<std::mutex> guard(mutex);
            toAnswer.push_back(uuid);
        }
        ready.notify_one();
        return uuid;
    });

    std::mutex deliveredMutex;
    std::map<std::string, int> delivered;
    std::atomic<int> startErrors{0};

    std::vector<std::thread> deliverers;
    for (int d = 0; d < kDeliverers; ++d) {
        deliverers.emplace_back([&] {
            for (;;) {
                std::string uuid;
                {
                    std::unique_lock<std::mutex> lock(mutex);
                    ready.wait(lock, [&] { return done || !toAnswer.empty(); });
                    if (toAnswer.empty()) return;
                    uuid = toAnswer.front();
                    toAnswer.pop_front();
                }
                host.Deliver("OnServiceProxyUuidEvent", Answer(uuid));
            }
        });
    }
    std::vector<std::thread> requesters;
    for (int r = 0; r < kRequesters; ++r) {
        requesters.emplace_back([&] {
            for (int i = 0; i < kRequestsEach; ++i) {
                const std::string error = plugin->ServiceProxy().InvokeText(
                    "svc", "m", "{}", "", [&](const PluginServiceProxyResponse& response) {
                        std::lock_guard<std::mutex> guard(deliveredMutex);
                        ++delivered[response.uuid];
                    });
                if (!error.empty()) ++startErrors;
            }
        });
    }
    for (std::thread& t : requesters) t.join();
    {
        std::lock_guard<std::mutex> guard(mutex);
        done = true;
    }
    ready.notify_all();
    for (std::thread& t : deliverers) t.join();

    EXPECT_EQ(startErrors.load(), 0);
    EXPECT_EQ(delivered.size(), static_cast<size_t>(kRequesters * kRequestsEach));
    for (const auto& [uuid, count] : delivered) EXPECT_EQ(count, 1) << uuid;
    EXPECT_EQ(plugin->ServiceProxy().PendingRequests(), 0u);
}

}  // namespace
}  // namespace Vane
