#include "util/system_info_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace Vane {
namespace {

constexpr uint64_t kKiB = 1024;

TEST(SystemInfoTextTest, FiguresAreShownInKibibytesOrAsUnknown) {
    SystemFigures all;
    all.processors = {8, 4, 1};
    all.system = {16318976 * kKiB, 9638012 * kKiB + 1023, 18000000 * kKiB, 0};
    all.process = {46080 * kKiB, 48000 * kKiB, 1231000 * kKiB};

    SystemFigures some = all;
    some.processors.cores.reset();
    some.system.commitLimitBytes.reset();
    some.system.commitAvailableBytes.reset();
    some.process.virtualBytes.reset();

    SystemFigures large;
    large.processors = {UINT32_MAX, 1, 1};
    large.system.totalPhysicalBytes = UINT64_MAX;
    large.process.residentBytes = 1023;  // less than a KiB shows as 0

    struct Case {
        const char* what;
        SystemFigures figures;
        const char* text;
    };
    const Case cases[] = {
        {"every figure known", all,
         "processors logical=8 cores=4 packages=1; memory physical=16318976KiB "
         "available=9638012KiB commitLimit=18000000KiB commitAvailable=0KiB; process "
         "resident=46080KiB peak=48000KiB virtual=1231000KiB"},
        {"some unknown", some,
         "processors logical=8 cores=unknown packages=1; memory physical=16318976KiB "
         "available=9638012KiB commitLimit=unknown commitAvailable=unknown; process "
         "resident=46080KiB peak=48000KiB virtual=unknown"},
        {"nothing known", SystemFigures{},
         "processors logical=unknown cores=unknown packages=unknown; memory physical=unknown "
         "available=unknown commitLimit=unknown commitAvailable=unknown; process "
         "resident=unknown peak=unknown virtual=unknown"},
        {"extremes", large,
         "processors logical=4294967295 cores=1 packages=1; memory "
         "physical=18014398509481983KiB available=unknown commitLimit=unknown "
         "commitAvailable=unknown; process resident=0KiB peak=unknown virtual=unknown"},
    };
    for (const Case& c : cases) {
        char buffer[kSystemFiguresTextSize];
        const size_t length = FormatSystemFigures(buffer, sizeof buffer, c.figures);
        EXPECT_EQ(std::string(buffer), c.text) << c.what;
        EXPECT_EQ(length, std::strlen(c.text)) << c.what;
    }
}

TEST(SystemInfoTextTest, ASmallBufferGetsTheBeginningAndStaysTerminated) {
    SystemFigures figures;
    figures.processors = {8, 4, 1};
    for (size_t size : {size_t{1}, size_t{5}, size_t{24}}) {
        char buffer[32];
        std::memset(buffer, 'x', sizeof buffer);
        const size_t length = FormatSystemFigures(buffer, size, figures);
        EXPECT_EQ(length, size - 1);
        EXPECT_EQ(std::string(buffer),
                  std::string("processors logical=8 cores=4").substr(0, size - 1));
        EXPECT_EQ(buffer[size], 'x');  // nothing written past the buffer
    }
    char untouched = 'x';
    EXPECT_EQ(FormatSystemFigures(&untouched, 0, figures), 0u);
    EXPECT_EQ(untouched, 'x');
}

}  // namespace
}  // namespace Vane
