// Opening a shared library at run time and finding a function in it: dlopen / dlsym on Linux,
// LoadLibrary / GetProcAddress on Windows. Hosts use it to load a plugin the way a client
// host does.
#ifndef PYX_UTIL_SHARED_LIBRARY_H_
#define PYX_UTIL_SHARED_LIBRARY_H_

#include <string>

namespace Vane::Platform {

// An open library; closed when destroyed. Move-only.
class SharedLibrary {
  public:
    SharedLibrary() = default;
    SharedLibrary(SharedLibrary&& other) noexcept;
    SharedLibrary& operator=(SharedLibrary&& other) noexcept;
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;
    ~SharedLibrary();

    // Opens the library at path, resolving every symbol now. On failure (an empty path
    // included) the result is not open and error (when given) receives the reason.
    static SharedLibrary Open(const std::string& path, std::string* error = nullptr);

    bool IsOpen() const { return handle_ != nullptr; }

    // The address of the exported function name, or null when the library is not open or
    // has no such export.
    void* FindFunction(const char* name) const;

    // Closes the library now; functions found in it must no longer be called.
    void Close();

  private:
    explicit SharedLibrary(void* handle) : handle_(handle) {}
    static SharedLibrary NotNamed(std::string* error);
    void* handle_ = nullptr;
};

// The full path of the file name `file` in the folder of the running executable: where the
// programs of a build tree find the libraries built beside them.
std::string PathBesideExecutable(const std::string& file);

}  // namespace Vane::Platform

#endif  // PYX_UTIL_SHARED_LIBRARY_H_
