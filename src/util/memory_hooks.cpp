#include "util/memory_hooks.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "util/platform.h"

namespace Vane {
namespace {

// Written once, before it is published through `installed`.
MemoryHooks g_hooks{};
std::atomic<bool> g_installed{false};
std::atomic<bool> g_claimed{false};

const MemoryHooks* Hooks() noexcept {
    return g_installed.load(std::memory_order_acquire) ? &g_hooks : nullptr;
}

}  // namespace

bool InstallMemoryHooks(const MemoryHooks& hooks) noexcept {
    if (!hooks.allocate || !hooks.free || !hooks.reallocate || !hooks.duplicateString ||
        !hooks.usableSize) {
        return false;
    }
    bool expected = false;
    if (!g_claimed.compare_exchange_strong(expected, true)) return false;
    g_hooks = hooks;
    g_installed.store(true, std::memory_order_release);
    return true;
}

bool MemoryHooksInstalled() noexcept {
    return Hooks() != nullptr;
}

void* HookedAllocate(size_t bytes) noexcept {
    if (const MemoryHooks* h = Hooks()) return h->allocate(h->context, bytes);
    return std::malloc(bytes);
}

void HookedFree(void* block) noexcept {
    if (!block) return;
    if (const MemoryHooks* h = Hooks()) return h->free(h->context, block);
    std::free(block);
}

void* HookedReallocate(void* block, size_t bytes) noexcept {
    if (const MemoryHooks* h = Hooks()) return h->reallocate(h->context, block, bytes);
    return std::realloc(block, bytes);
}

char* HookedDuplicateString(const char* text) noexcept {
    if (!text) return nullptr;
    if (const MemoryHooks* h = Hooks()) return h->duplicateString(h->context, text);
    return strdup(text);
}

size_t HookedUsableSize(const void* block) noexcept {
    if (!block) return 0;
    if (const MemoryHooks* h = Hooks()) return h->usableSize(h->context, block);
    return Platform::HeapBlockSize(const_cast<void*>(block));
}

}  // namespace Vane
