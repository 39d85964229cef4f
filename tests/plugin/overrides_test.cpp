#include "plugin/overrides.hpp"

#include <gtest/gtest.h>

#include "support/private_env.hpp"

namespace vesk::plugin::overrides {
namespace {

using vesk::test::read_text;
using vesk::test::TempDir;
using vesk::test::write_text;

const std::string kHeader =
    "# vesk 플러그인 화면에서 켜고 끈 것입니다.\n"
    "# 직접 고쳐도 됩니다. 기본값 그대로인 것은 여기에 적히지 않습니다.\n";

// yank (on), fpp (off), a repository holding a single quote (off).
model::Catalog sample() {
    return model::Catalog(source::parse("# 복사. 둘째.\nset -g @plugin 'tmux-plugins/tmux-yank'\n"
                                        "#set -g @plugin 'tmux-plugins/tmux-fpp'\n"
                                        "#set -g @plugin \"odd/it's\"\n",
                                        "conf.plugins"),
                          {});
}

std::vector<bool> states(const model::Catalog& c) {
    std::vector<bool> out;
    for (const auto& e : c.entries()) out.push_back(e.on);
    return out;
}

TEST(PluginOverrides, ParseChanges) {
    auto got = parse_changes(
        "# vesk 플러그인 화면에서 켜고 끈 것입니다.\r\n"
        "#vesk:off\n"
        "  #vesk:off  a/b  \r\n"
        "# set -g @plugin 'tmux-plugins/tmux-yank'\n"
        "set -g @plugin tmux-plugins/tmux-yank\n"
        "set -g @plugin 'c/d'\n"
        "set -g @plugin\"e/f\"\n"
        "set -g @plugin 'unclosed\n");
    EXPECT_EQ(got, (std::vector<Change>{{"a/b", false}, {"c/d", true}, {"e/f", true}}));
    EXPECT_EQ(state_for(std::vector<Change>{{"a/b", false}, {"a/b", true}}, "a/b"), true);
    EXPECT_EQ(state_for(got, "x/y"), std::nullopt);
}

TEST(PluginOverrides, RenderAndApply) {
    auto catalog = sample();
    EXPECT_EQ(render(catalog), kHeader);
    EXPECT_EQ(render(catalog.toggle(1).toggle(1)), kHeader);  // on and off again: no line

    // A repository holding a single quote is written in double quotes, and reads back.
    auto changed = catalog.toggle(0).toggle(1).toggle(2);
    EXPECT_EQ(render(changed), kHeader +
                                   "\n# 복사.\n#vesk:off tmux-plugins/tmux-yank\n"
                                   "\n# tmux-plugins/tmux-fpp\nset -g @plugin 'tmux-plugins/tmux-fpp'\n"
                                   "\n# odd/it's\nset -g @plugin \"odd/it's\"\n");
    EXPECT_EQ(states(overrides::apply(sample(), parse_changes(render(changed)))), states(changed));
    // Unknown repositories are ignored, the later change wins.
    std::vector<Change> changes = {{"x/y", true}, {"tmux-plugins/tmux-fpp", true}, {"tmux-plugins/tmux-fpp", false}};
    EXPECT_EQ(states(overrides::apply(sample(), changes)), states(sample()));
}

TEST(PluginOverrides, SaveAndLoadFiles) {
    TempDir dir;
    auto path = dir / "new" / "vesk" / "plugins.conf";  // missing directories are created
    EXPECT_TRUE(load(path).empty());
    save(path, sample().toggle(1));
    EXPECT_EQ(load(path), (std::vector<Change>{Change{"tmux-plugins/tmux-fpp", true}}));
    EXPECT_EQ(read_text(path), kHeader + "\n# tmux-plugins/tmux-fpp\nset -g @plugin 'tmux-plugins/tmux-fpp'\n");

    // Text that is not UTF-8, and a directory, give no changes.
    write_text(dir / "bad.conf", "#vesk:off a/b\n\xff\n");
    EXPECT_TRUE(load(dir / "bad.conf").empty());
    EXPECT_TRUE(load(dir.path()).empty());
}

}  // namespace
}  // namespace vesk::plugin::overrides
