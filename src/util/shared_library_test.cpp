#include "util/shared_library.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <utility>

#include "util/platform.h"

namespace Vane::Platform {
namespace {

// A library every process of the platform has, and one function it exports.
#ifdef _WIN32
constexpr const char* kSystemLibrary = "kernel32.dll";
constexpr const char* kSystemFunction = "GetTickCount";
#else
constexpr const char* kSystemLibrary = "libc.so.6";
constexpr const char* kSystemFunction = "strlen";
#endif

TEST(SharedLibraryTest, OpensASystemLibraryAndFindsOnlyWhatItExports) {
    std::string error;
    SharedLibrary library = SharedLibrary::Open(kSystemLibrary, &error);
    ASSERT_TRUE(library.IsOpen()) << error;
    EXPECT_NE(library.FindFunction(kSystemFunction), nullptr);
    EXPECT_EQ(library.FindFunction("no_such_function_in_any_library"), nullptr);
    EXPECT_EQ(library.FindFunction(nullptr), nullptr);

    SharedLibrary moved = std::move(library);
    EXPECT_FALSE(library.IsOpen());
    EXPECT_EQ(library.FindFunction(kSystemFunction), nullptr);
    EXPECT_NE(moved.FindFunction(kSystemFunction), nullptr);
    moved.Close();
    EXPECT_FALSE(moved.IsOpen());
    EXPECT_EQ(moved.FindFunction(kSystemFunction), nullptr);
}

TEST(SharedLibraryTest, AMissingLibraryIsNotOpenAndSaysWhy) {
    std::string error;
    SharedLibrary library =
        SharedLibrary::Open(PathBesideExecutable("no-such-library.bin"), &error);
    EXPECT_FALSE(library.IsOpen());
    EXPECT_FALSE(error.empty());
    // An empty name is no library (dlopen would answer the running program).
    error.clear();
    EXPECT_FALSE(SharedLibrary::Open("", &error).IsOpen());
    EXPECT_FALSE(error.empty());
}

TEST(SharedLibraryTest, PathBesideExecutableFindsTheProgramItself) {
    const std::string name = ExecutableFileName();
    ASSERT_FALSE(name.empty());
    const std::string path = PathBesideExecutable(name);
    ASSERT_GT(path.size(), name.size());
    const char separator = path[path.size() - name.size() - 1];
    EXPECT_TRUE(separator == '/' || separator == '\\') << path;
    EXPECT_TRUE(std::ifstream(path, std::ios::binary).good()) << path;
}

}  // namespace
}  // namespace Vane::Platform
