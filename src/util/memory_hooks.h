// The allocation hooks behind the framework's own heap blocks (large strings and records of
// value stores, copies handed to the host).
//
// A process installs one set of five hooks with one context pointer, once, before the first
// such block; until then, and when no hooks are installed, every call falls back to the plain
// heap. Installing is meant for the plugin's entry point, which uses it to count memory.
#ifndef PYX_UTIL_MEMORY_HOOKS_H_
#define PYX_UTIL_MEMORY_HOOKS_H_

#include <cstddef>

namespace Vane {

struct MemoryHooks {
    void* (*allocate)(void* context, size_t bytes);
    void (*free)(void* context, void* block);
    void* (*reallocate)(void* context, void* block, size_t bytes);
    char* (*duplicateString)(void* context, const char* text);
    size_t (*usableSize)(void* context, const void* block);
    void* context;
};

// Installs `hooks` (every function must be set). Only the first installation in a process
// takes effect; later ones return false and change nothing. The hooks must stay callable for
// the rest of the process.
bool InstallMemoryHooks(const MemoryHooks& hooks) noexcept;

// True once hooks are installed.
bool MemoryHooksInstalled() noexcept;

// Allocates `bytes` (null when memory runs out).
void* HookedAllocate(size_t bytes) noexcept;
// Frees a block of HookedAllocate / HookedReallocate / HookedDuplicateString; null is ignored.
void HookedFree(void* block) noexcept;
// Resizes a block (null block: allocates); null when memory runs out, the block then unchanged.
void* HookedReallocate(void* block, size_t bytes) noexcept;
// A heap copy of `text` (null when memory runs out or `text` is null).
char* HookedDuplicateString(const char* text) noexcept;
// The usable size of a block (0 for null).
size_t HookedUsableSize(const void* block) noexcept;

}  // namespace Vane

#endif  // PYX_UTIL_MEMORY_HOOKS_H_
