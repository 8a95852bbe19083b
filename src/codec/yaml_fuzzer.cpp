// Reads arbitrary bytes as YAML. Aborts when a failure carries no message or keeps more than
// it, when a value comes out nested deeper than kMaxNestingDepth, or when reading the same
// bytes twice gives different answers. The copy budget is lowered so that alias-heavy inputs
// stay fast; the bound works the same at any budget.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "codec/yaml_reader.h"
#include "value/nesting_limit.h"

namespace {

constexpr size_t kFuzzCopyNodeBudget = 20000;

void Check(bool condition) {
    if (!condition) std::abort();
}

// Containers along the deepest path of `value`; aborts rather than recurse past the bound.
size_t Depth(const Vane::BindingProperty& value, size_t level) {
    Check(level <= Vane::kMaxNestingDepth + 1);
    size_t deepest = 0;
    if (value.Kind() == Vane::PropertyKind::kCollection) {
        for (const Vane::BindingProperty& element : value.Elements()) {
            const size_t depth = Depth(element, level + 1);
            if (depth > deepest) deepest = depth;
        }
        return deepest + 1;
    }
    if (value.Kind() == Vane::PropertyKind::kStructure) {
        for (const auto& member : value.Members()) {
            const size_t depth = Depth(member.value, level + 1);
            if (depth > deepest) deepest = depth;
        }
        return deepest + 1;
    }
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    Vane::LooksLikeYaml(std::string_view(text, size));

    Vane::YamlReader reader(text, size, kFuzzCopyNodeBudget);
    const bool ok = reader.Read();
    const Vane::ConversionStatus& result = reader.Result();
    Check(ok == result.Ok());
    if (!ok) {
        Check(!result.Error().empty());
        Check(result.Value().Size() == 1);
    } else {
        Check(Depth(result.Value(), 1) <= Vane::kMaxNestingDepth);
    }

    Vane::YamlReader again(text, size, kFuzzCopyNodeBudget);
    Check(again.Read() == ok);
    if (ok) {
        // NaN never equals itself; compare only values without it (most of them).
        const bool same = again.Result().Value() == result.Value();
        Check(same || std::string_view(text, size).find_first_of("nN") != std::string_view::npos);
    } else {
        Check(again.Result().Error() == result.Error());
    }
    return 0;
}
