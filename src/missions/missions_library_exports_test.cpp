// The plugin library as a file: the one function it exports and, for the Windows DLL, that
// it needs nothing but Windows' own libraries.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "missions/library_exports_test_support.h"
#include "missions/plugin_library_test_support.h"

namespace Vane::testing {
namespace {

#ifdef _WIN32
// Windows names DLLs without regard to case.
std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}
#endif

TEST(MissionsLibraryExportsTest, ExportsExactlyOneFunction) {
    const LibraryExports library = ReadLibraryExports(MissionsLibraryPath());
    ASSERT_EQ(library.error, "");
#if defined(_WIN32) && defined(_WIN64)
    EXPECT_EQ(library.format, "PE32+ x86-64 DLL");
#elif defined(_WIN32)
    EXPECT_EQ(library.format, "PE32 i386 DLL");
#else
    EXPECT_EQ(library.format, "ELF64");
#endif
    EXPECT_EQ(library.functions, std::vector<std::string>{"load_pyx_missions"});
    EXPECT_EQ(library.otherExports, std::vector<std::string>{});
    EXPECT_NE(MissionsLibraryExport(), nullptr);
}

// The C and C++ runtimes and the thread library are linked in; event tracing's library is
// looked up at run time, so a system without it still loads the plugin.
TEST(MissionsLibraryExportsTest, WindowsDllImportsOnlyWindowsSystemLibraries) {
#ifndef _WIN32
    GTEST_SKIP() << "import tables are a property of the Windows DLL; the Linux build has none";
#else
    const LibraryExports library = ReadLibraryExports(MissionsLibraryPath());
    ASSERT_EQ(library.error, "");
    ASSERT_FALSE(library.imports.empty());
    const std::vector<std::string> system = {"kernel32.dll", "msvcrt.dll"};
    for (const std::string& import : library.imports) {
        EXPECT_NE(std::find(system.begin(), system.end(), Lower(import)), system.end())
            << "imports " << import;
    }
#endif
}

}  // namespace
}  // namespace Vane::testing
