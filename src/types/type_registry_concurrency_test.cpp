// Registration, lookups and conversions racing on one registry. Run under ThreadSanitizer.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "types/record_description.h"

namespace Vane::concurrency_test {

enum class Level : int32_t { kLow = 1, kHigh = 2 };

struct Entry {
    std::string name;
    Level level = Level::kLow;
    std::vector<int64_t> values;

    bool operator==(const Entry&) const = default;
};

// A family of distinct records, registered by different threads at once.
template <int I>
struct Numbered {
    int32_t number = I;
    std::string label;
};

}  // namespace Vane::concurrency_test

namespace Vane {

using concurrency_test::Entry;
using concurrency_test::Level;
using concurrency_test::Numbered;

template <>
struct TypeDescription<Level> {
    static void Describe(RecordBuilder<Level>& r) {
        r.Name("Level");
        r.Enumerator("Low", Level::kLow);
        r.Enumerator("High", Level::kHigh);
    }
};

template <>
struct TypeDescription<Entry> {
    static void Describe(RecordBuilder<Entry>& r) {
        r.Name("Entry");
        r.Field("name", &Entry::name);
        r.Field("level", &Entry::level);
        r.Field("values", &Entry::values);
    }
};

template <int I>
struct TypeDescription<Numbered<I>> {
    static void Describe(RecordBuilder<Numbered<I>>& r) {
        r.Name("Numbered" + std::to_string(I));
        r.Field("number", &Numbered<I>::number);
        r.Field("label", &Numbered<I>::label);
    }
};

namespace {

constexpr int kFamily = 64;

template <int I>
bool RegisterNumbered(TypeRegistry& registry) {
    return RegisterType<Numbered<I>>(registry) != nullptr;
}

template <int... I>
constexpr auto MakeRegistrars(std::integer_sequence<int, I...>) {
    return std::array<bool (*)(TypeRegistry&), sizeof...(I)>{&RegisterNumbered<I>...};
}

constexpr auto kRegistrars = MakeRegistrars(std::make_integer_sequence<int, kFamily>());

std::string NumberedName(int index) {
    return "Numbered" + std::to_string(index);
}

// Two threads register a family of records (from both ends) while two others look them up and
// convert records of another type, until the registrations are done.
TEST(TypeRegistryConcurrencyTest, RegistrationLookupsAndConversionsRace) {
    TypeRegistry registry;
    ASSERT_NE(RegisterType<Entry>(registry), nullptr);
    std::atomic<int> failures{0};
    std::atomic<int> registrarsRunning{2};
    std::atomic<bool> start{false};
    std::vector<std::thread> threads;

    for (int registrar = 0; registrar < 2; ++registrar) {
        threads.emplace_back([&, registrar] {
            while (!start.load()) std::this_thread::yield();
            for (int step = 0; step < kFamily; ++step) {
                const int index = registrar == 0 ? step : kFamily - 1 - step;
                if (!kRegistrars[index](registry)) ++failures;
                BeginEvent<Entry>(registry, "OnEntry" + std::to_string(step % 8))
                    .Description("An entry changed.");
                std::this_thread::yield();
            }
            --registrarsRunning;
        });
    }
    for (int reader = 0; reader < 2; ++reader) {
        threads.emplace_back([&] {
            while (!start.load()) std::this_thread::yield();
            for (int round = 0; registrarsRunning.load() > 0 || round < 10; ++round) {
                // A descriptor a lookup finds is always complete.
                for (int index = 0; index < kFamily; ++index) {
                    const TypeDescriptor* found = registry.FindByName(NumberedName(index));
                    if (found && found->fields.size() != 2) ++failures;
                }

                const Entry entry{"e" + std::to_string(round),
                                  round % 2 ? Level::kHigh : Level::kLow,
                                  {round, -round, INT64_MIN}};
                ConversionStatus written = ToBinding(registry, entry);
                MaybeType<Failure, Entry> read = ConvertTo<Entry>(registry, written.Value());
                if (!read.HasValue() || !(read.Value() == entry)) ++failures;

                // Strings from enums go through the registry's lookup.
                MaybeType<Failure, std::string> name =
                    ConvertTo<std::string>(registry, written.Value().Member("level"));
                if (!name.HasValue() || name.Value() != (round % 2 ? "High" : "Low")) ++failures;

                auto types = registry.Types();
                if (types.IsFailure()) ++failures;
            }
        });
    }
    start.store(true);
    for (std::thread& thread : threads) thread.join();

    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(registry.Types().Value().size(), 2u + kFamily);
    EXPECT_EQ(registry.Events().Value().size(), 8u);
    for (int index = 0; index < kFamily; ++index) {
        const TypeDescriptor* found = registry.FindByName(NumberedName(index));
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(found->fields.size(), 2u);
    }
}

}  // namespace
}  // namespace Vane
