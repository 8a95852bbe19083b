#include "plugin/trace.h"

#include <atomic>
#include <exception>
#include <memory>

namespace Vane {
namespace {

std::shared_ptr<const TraceSink>& Sink() {
    static auto* sink = new std::shared_ptr<const TraceSink>();
    return *sink;
}

}  // namespace

void SetTraceSink(TraceSink sink) {
    std::shared_ptr<const TraceSink> next;
    if (sink) next = std::make_shared<const TraceSink>(std::move(sink));
    std::atomic_store(&Sink(), next);
}

void TraceRuntime(const char* format, std::initializer_list<std::string_view> args) {
    std::shared_ptr<const TraceSink> sink = std::atomic_load(&Sink());
    if (!sink || !format) return;
    try {
        std::string line;
        auto next = args.begin();
        for (const char* p = format; *p; ++p) {
            if (p[0] == '%' && p[1] == 's') {
                if (next != args.end()) line.append(*next++);
                ++p;
            } else {
                line.push_back(*p);
            }
        }
        (*sink)(line);
    } catch (const std::exception&) {
        // A trace is never worth failing for.
    }
}

}  // namespace Vane
