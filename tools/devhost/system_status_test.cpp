#include "devhost/system_status.h"

#include <gtest/gtest.h>

#include "devhost/value_access.h"

namespace Vane::DevHost {
namespace {

TEST(SystemStatusTest, FiguresBecomeNumbersAndUnknownOnesNull) {
    SystemFigures figures;
    figures.processors = {8, 4, std::nullopt};
    figures.system.totalPhysicalBytes = uint64_t{1} << 40;
    figures.system.commitAvailableBytes = 0;
    figures.process.residentBytes = 4096;
    figures.process.virtualBytes = 1 << 20;
    EXPECT_EQ(ToJsonText(SystemFiguresValue(figures)),
              R"({"memory":{"availablePhysicalBytes":null,"commitAvailableBytes":0,)"
              R"("commitLimitBytes":null,"totalPhysicalBytes":1099511627776},)"
              R"("process":{"peakResidentBytes":null,"residentBytes":4096,"virtualBytes":1048576},)"
              R"("processors":{"cores":4,"logical":8,"packages":null}})");
}

}  // namespace
}  // namespace Vane::DevHost
