#include "util/shared_library.h"

#include <cstring>
#include <utility>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

namespace Vane::Platform {

SharedLibrary::SharedLibrary(SharedLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}

SharedLibrary& SharedLibrary::operator=(SharedLibrary&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
}

SharedLibrary::~SharedLibrary() {
    Close();
}

SharedLibrary SharedLibrary::NotNamed(std::string* error) {
    if (error != nullptr) *error = "no library named";
    return SharedLibrary();
}

#ifdef _WIN32

SharedLibrary SharedLibrary::Open(const std::string& path, std::string* error) {
    if (path.empty()) return NotNamed(error);
    HMODULE module = ::LoadLibraryA(path.c_str());
    if (module == nullptr && error != nullptr) {
        const DWORD code = ::GetLastError();
        char text[512] = {};
        DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, text, sizeof text - 1, nullptr);
        while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r')) --length;
        *error = length > 0 ? std::string(text, length) : "error " + std::to_string(code);
    }
    return SharedLibrary(module);
}

void* SharedLibrary::FindFunction(const char* name) const {
    if (handle_ == nullptr || name == nullptr) return nullptr;
    FARPROC function = ::GetProcAddress(static_cast<HMODULE>(handle_), name);
    void* address = nullptr;
    static_assert(sizeof address == sizeof function, "a function pointer fits a data pointer");
    std::memcpy(&address, &function, sizeof address);
    return address;
}

void SharedLibrary::Close() {
    if (handle_ != nullptr) ::FreeLibrary(static_cast<HMODULE>(std::exchange(handle_, nullptr)));
}

std::string PathBesideExecutable(const std::string& file) {
    char path[MAX_PATH + 1] = {};
    const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    const size_t slash = folder.find_last_of("\\/");
    return (slash == std::string::npos ? std::string() : folder.substr(0, slash + 1)) + file;
}

#else

SharedLibrary SharedLibrary::Open(const std::string& path, std::string* error) {
    // dlopen of an empty name would answer the running program itself.
    if (path.empty()) return NotNamed(error);
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr && error != nullptr) {
        const char* why = ::dlerror();
        *error = why != nullptr ? why : "unknown error";
    }
    return SharedLibrary(handle);
}

void* SharedLibrary::FindFunction(const char* name) const {
    if (handle_ == nullptr || name == nullptr) return nullptr;
    return ::dlsym(handle_, name);
}

void SharedLibrary::Close() {
    if (handle_ != nullptr) ::dlclose(std::exchange(handle_, nullptr));
}

std::string PathBesideExecutable(const std::string& file) {
    char path[4097] = {};
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    const std::string executable(path, length > 0 ? static_cast<size_t>(length) : 0);
    const size_t slash = executable.find_last_of('/');
    return (slash == std::string::npos ? std::string() : executable.substr(0, slash + 1)) + file;
}

#endif

}  // namespace Vane::Platform
