// Host events with arbitrary payloads: the fuzzer's bytes describe a HostValue tree as a host
// might hand it over (any type number, null pointers with or without lengths, unnamed members,
// deep nesting) and deliver it to a loaded plugin's resource observers and service-proxy
// handlers. Nothing may crash; undecodable payloads are dropped.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "plugin/plugin_base.h"
#include "plugin/test_host_test_support.h"

namespace Vane {
namespace {

struct Watched {
    std::string name;
    int64_t count = 0;
    std::vector<uint32_t> ids;
};
void DescribeType(RecordBuilder<Watched>& r) {
    r.Name("FuzzWatched");
    r.Field("name", &Watched::name);
    r.Field("count", &Watched::count);
    r.Field("ids", &Watched::ids);
}

class Reader {
  public:
    Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    uint32_t Small() { return Byte() % 8; }
    std::string Text() {
        const size_t n = std::min<size_t>(Byte() % 16, size_ - std::min(pos_, size_));
        std::string s(reinterpret_cast<const char*>(data_ + pos_), n);
        pos_ += n;
        return s;
    }
    bool Done() const { return pos_ >= size_; }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

// Owns every array and text a built HostValue points at.
struct Arena {
    std::deque<std::string> texts;
    std::deque<std::vector<HostValue>> items;
    std::deque<std::vector<HostMember>> members;

    HostValue Build(Reader& in, int depth) {
        HostValue v{};
        const uint8_t tag = in.Byte();
        v.type = tag % 12;  // 11 is no type at all
        const bool nullWithLength = tag >= 240;
        switch (v.type) {
            case kHostValueBool:
                v.payload.boolean = in.Byte();
                break;
            case kHostValueSigned:
            case kHostValueUnsigned:
                v.payload.u64 = uint64_t{in.Byte()} << (in.Small() * 8);
                break;
            case kHostValueFloat:
                v.payload.f64 = static_cast<double>(in.Byte()) / 3.0;
                break;
            case kHostValueStringBorrowed:
            case kHostValueStringOwned: {
                const std::string& s = texts.emplace_back(in.Text());
                v.payload.string = {nullWithLength ? nullptr : s.data(),
                                    static_cast<uint32_t>(s.size() + (nullWithLength ? 3 : 0))};
                break;
            }
            case kHostValueBlobBorrowed:
            case kHostValueBlobOwned: {
                const std::string& s = texts.emplace_back(in.Text());
                v.payload.blob = {
                    nullWithLength ? nullptr : reinterpret_cast<const uint8_t*>(s.data()),
                    static_cast<uint32_t>(s.size() + (nullWithLength ? 3 : 0))};
                break;
            }
            case kHostValueCollection: {
                auto& list = items.emplace_back();
                const uint32_t n = depth > 700 ? 0 : in.Small();
                for (uint32_t i = 0; i < n && !in.Done(); ++i) list.push_back(Build(in, depth + 1));
                // Deep chains: one item a level, far beyond the nesting limit.
                if (tag % 5 == 0 && depth < 700) list.push_back(Build(in, depth + 1));
                v.payload.collection = {nullWithLength ? nullptr : list.data(),
                                        static_cast<uint32_t>(list.size())};
                break;
            }
            case kHostValueStructure: {
                auto& list = members.emplace_back();
                const uint32_t n = depth > 700 ? 0 : in.Small();
                for (uint32_t i = 0; i < n && !in.Done(); ++i) {
                    const bool unnamed = in.Byte() == 0xFF;
                    const std::string& name = texts.emplace_back(in.Text());
                    list.push_back(
                        HostMember{unnamed ? nullptr : name.c_str(), Build(in, depth + 1), 0});
                }
                v.payload.structure = {nullWithLength ? nullptr : list.data(),
                                       static_cast<uint32_t>(list.size())};
                break;
            }
            default:
                break;
        }
        return v;
    }
};

class FuzzPlugin : public PluginBase {
  public:
    void Ready(const testing::TestHost& host) {
        RegisterType<Watched>(Types());
        PluginLoadRecord record{};
        record.apiMajor = 18;
        LoadPlugin(this, &record, "pyx-fuzz");
        Callbacks().initialise(this, host.Context());
        Resources().Observe<Watched>("/fuzz/v1/item",
                                     [](const std::string&, const std::optional<Watched>&) {});
        Resources().Observe<Watched>("/fuzz/v1/*",
                                     [](const std::string&, const std::optional<Watched>&) {});
        // The request only has to be pending for the answers to find it; the fake login
        // plugin always takes it.
        static_cast<void>(ServiceProxy().InvokeText("svc", "m", "{}", "",
                                                    [](const PluginServiceProxyResponse&) {}));
    }
};

}  // namespace
}  // namespace Vane

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace Vane;
    static testing::TestHost* host = [] {
        auto* h = new testing::TestHost;
        h->SetServiceProxyHook([](const std::string&, const std::string&, const std::string&) {
            return std::string("uuid");
        });
        return h;
    }();
    static FuzzPlugin* plugin = [] {
        auto* p = new FuzzPlugin;
        p->Ready(*host);
        return p;
    }();
    (void)plugin;
    Reader in(data, size);
    Arena arena;
    const uint8_t which = in.Byte() % 3;
    HostValue payload = arena.Build(in, 0);
    HostIncomingEvent event{};
    const std::map<std::string, testing::Subscription> subscriptions = host->Subscriptions();
    const char* names[] = {"OnJsonApiEvent_fuzz_v1_item", "OnServiceProxyUuidEvent",
                           "OnServiceProxyAsyncEvent"};
    auto it = subscriptions.find(names[which]);
    if (it == subscriptions.end()) return 0;
    event.eventName = names[which];
    event.payload = payload;
    event.context = it->second.context;
    it->second.dispatch(&event);
    return 0;
}
