// A minimal plugin and a fixture that loads it through the loader and drives it through its
// callbacks with the test host, as a host does.
#ifndef PYX_PLUGIN_PLUGIN_TEST_SUPPORT_H_
#define PYX_PLUGIN_PLUGIN_TEST_SUPPORT_H_

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "codec/json_reader.h"
#include "codec/json_writer.h"
#include "host/host_value.h"
#include "plugin/plugin_base.h"
#include "plugin/test_host_test_support.h"
#include "plugin/trace.h"
#include "types/record_description.h"

namespace Vane::testing {

// The host-side copy of the JSON text `json` (which must parse).
inline TestValue JsonValue(std::string_view json) {
    ConversionStatus parsed = ParseJson(json);
    EXPECT_TRUE(parsed.Ok()) << json;
    HostValue value{};
    EXPECT_TRUE(BindingToHostValue(parsed.Value(), nullptr, value, nullptr));
    TestValue copy = TestValue::Copy(value);
    ReleaseHostValue(value);
    return copy;
}

// The compact JSON text of a host-side value.
inline std::string JsonOf(const TestValue& value) {
    TestValueArena arena;
    ConversionStatus status = HostValueToBinding(arena.Build(value), "<result>");
    return status.Ok() ? WriteJson(status.Value()) : "<" + std::string(status.Error()) + ">";
}

// A plugin whose API and start-up the test chooses.
class TestPlugin : public PluginBase {
  public:
    std::function<void(TestPlugin&)> onRegisterApi;
    std::function<bool(TestPlugin&)> onStart;
    int* destroyed = nullptr;
    int registerApiCalls = 0;
    int shutdownCalls = 0;

    explicit TestPlugin(const TestHost* clockSource = nullptr) {
        if (clockSource) SetClock([clockSource] { return clockSource->NowNanoseconds(); });
    }
    ~TestPlugin() override {
        if (destroyed) ++*destroyed;
    }
    void RegisterApi() override {
        ++registerApiCalls;
        if (onRegisterApi) onRegisterApi(*this);
    }
    bool Start() override { return onStart ? onStart(*this) : true; }
    void Shutdown() override {
        ++shutdownCalls;
        PluginBase::Shutdown();
    }
};

// A small record the runtime's tests convert to and from ("TestLevel").
struct Level {
    int32_t value = 0;
    std::string name;
};
inline void DescribeType(RecordBuilder<Level>& r) {
    r.Name("TestLevel");
    r.Field("value", &Level::value);
    r.Field("name", &Level::name);
}

// Collects the runtime's trace lines while alive.
class TraceRecorder {
  public:
    TraceRecorder() {
        SetTraceSink([this](const std::string& line) { lines.push_back(line); });
    }
    ~TraceRecorder() { SetTraceSink({}); }
    TraceRecorder(const TraceRecorder&) = delete;
    TraceRecorder& operator=(const TraceRecorder&) = delete;
    std::vector<std::string> lines;
};

// Loads a TestPlugin (core 18.0.0) and initialises it with the test host; the plugin is shut
// down through its callback at the end unless the test did so.
class PluginFixture : public ::testing::Test {
  protected:
    void SetUp() override { Load(); }
    void TearDown() override { ShutDown(); }

    void Load(uint32_t major = 18, uint32_t minor = 0, uint32_t patch = 0) {
        plugin = new TestPlugin(&host);
        plugin->destroyed = &destroyedCount;
        record = PluginLoadRecord{};
        record.apiMajor = major;
        record.apiMinor = minor;
        record.apiPatch = patch;
        LoadPlugin(plugin, &record, "pyx-test");
    }
    bool Initialise() { return record.callbacks->initialise(record.plugin, host.Context()) != 0; }
    void ShutDown() {
        if (!plugin) return;
        record.callbacks->shutdown(record.plugin);
        plugin = nullptr;
    }

    TestHost host;
    TestPlugin* plugin = nullptr;
    PluginLoadRecord record{};
    int destroyedCount = 0;
};

// A PluginFixture whose plugin knows Level and is initialised.
class InitialisedPluginFixture : public PluginFixture {
  protected:
    void SetUp() override {
        PluginFixture::SetUp();
        RegisterType<Level>(plugin->Types());
        ASSERT_TRUE(Initialise());
    }
};

}  // namespace Vane::testing

#endif  // PYX_PLUGIN_PLUGIN_TEST_SUPPORT_H_
