#include "plugin/plugin_api_version.h"

#include <gtest/gtest.h>

#include <string>

#include "util/format.h"

namespace Vane {
namespace {

TEST(PluginApiVersionTest, TextForm) {
    struct Case {
        PluginApiVersion version;
        const char* text;
    } cases[] = {
        {PluginApiVersion(18, 0, 0), "18.0.0"},
        {PluginApiVersion(18, 0, 0, "rc1", "7"), "18.0.0-rc1+7"},
        {PluginApiVersion(18, 0, 0, "", "7"), "18.0.0+7"},
        {PluginApiVersion(18, 0, 0, "rc1"), "18.0.0-rc1"},
        {PluginApiVersion(4294967295u, 0, 12), "4294967295.0.12"},
        {PluginApiVersion(), "0.0.0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.version.Text(), c.text);
        // The formatter sees the whole text form, labels included, and honours widths.
        EXPECT_EQ(FormatPositional("[%1]", c.version), std::string("[") + c.text + "]");
        EXPECT_EQ(FormatPositional("%1$-20s|", c.version).size(), 21u);
    }
}

TEST(PluginApiVersionTest, FormatsInsideLongerMessages) {
    const PluginApiVersion plugin(18, 0, 0);
    const PluginApiVersion core(17, 2, 1, "beta", "abc");
    EXPECT_EQ(FormatPositional("%1 which supports plugin API %2 is not compatible with core's "
                               "plugin API %3",
                               "pyx-missions", plugin, core),
              "pyx-missions which supports plugin API 18.0.0 is not compatible with core's "
              "plugin API 17.2.1-beta+abc");
}

TEST(PluginApiVersionTest, CompatibilityRule) {
    struct Case {
        PluginApiVersion core;
        PluginApiVersion plugin;
        bool compatible;
    } cases[] = {
        {{18, 0, 0}, {18, 0, 0}, true},
        {{18, 0, 5}, {18, 0, 0}, true},
        {{18, 3, 0}, {18, 0, 0}, true},
        {{18, 3, 0}, {18, 2, 9}, true},  // a greater minor wins over a smaller patch
        {{18, 0, 0}, {18, 0, 1}, false},
        {{18, 0, 0}, {18, 1, 0}, false},
        {{18, 1, 9}, {18, 2, 0}, false},
        {{19, 0, 0}, {18, 0, 0}, false},
        {{17, 9, 9}, {18, 0, 0}, false},
        {{18, 0, 0, "rc1", "7"}, {18, 0, 0, "", "9"}, true},  // labels take no part
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.core.Text() + " vs " + c.plugin.Text());
        EXPECT_EQ(IsCompatiblePluginApi(c.core, c.plugin), c.compatible);
    }
}

TEST(PluginApiVersionTest, OwnVersionIs18WithoutLabels) {
    EXPECT_EQ(OwnPluginApiVersion(), PluginApiVersion(18, 0, 0));
    EXPECT_EQ(OwnPluginApiVersion().Text(), "18.0.0");
}

}  // namespace
}  // namespace Vane
