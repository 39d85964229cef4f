#include <gtest/gtest.h>

#include "plugin/source.hpp"
#include "support/private_env.hpp"

namespace vesk::plugin::source {
namespace {

TEST(PluginDist, ConfPluginsDeclaresDescribedPlugins) {
    auto text = test::read_text(std::filesystem::path(VESK_SOURCE_DIR) / "dist/confs/conf.plugins");
    auto declarations = parse(text, "conf.plugins");
    ASSERT_FALSE(declarations.empty());
    std::size_t off = 0;
    for (const Declaration& d : declarations) {
        EXPECT_NE(d.description, d.repo) << d.origin << ": no comment above";
        EXPECT_FALSE(d.name.empty());
        EXPECT_EQ(d.origin, "conf.plugins:" + std::to_string(d.line));
        off += d.on ? 0 : 1;
    }
    EXPECT_GT(off, 0u);  // some plugins come switched off
    EXPECT_LT(off, declarations.size());
}

}  // namespace
}  // namespace vesk::plugin::source
