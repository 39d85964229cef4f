#include "config/config.hpp"

#include <gtest/gtest.h>

#include "support/private_env.hpp"

namespace vesk::config {
namespace {

using test::TempDir;
using test::write_text;

TEST(ConfigToml, LineRules) {
    const std::optional<std::string> home = "/h";
    EXPECT_EQ(zelt_from_toml("zelt = /a\n", home), "/a");
    EXPECT_EQ(zelt_from_toml("zelt = '~/x'\n", home), "/h/x");
    EXPECT_EQ(zelt_from_toml("zelt = \"~\"\n", home), "/h");
    EXPECT_EQ(zelt_from_toml("zelt = ~x\n", home), "/hx");  // no separator is added
    EXPECT_EQ(zelt_from_toml("zelt = ~/x\n", std::nullopt), "~/x");
    EXPECT_EQ(zelt_from_toml("zelt = \"/opt/x\n", home), "\"/opt/x");
    EXPECT_EQ(zelt_from_toml("zelt = \"\n", home), "\"");  // one quote is not a pair
    EXPECT_EQ(zelt_from_toml("zelt=/a=b\n", home), "/a=b");
    EXPECT_EQ(zelt_from_toml("  # zelt = /a\n", home), std::nullopt);
    EXPECT_EQ(zelt_from_toml("zelt = /a\nzelt = /b\n", home), "/b");
    EXPECT_EQ(zelt_from_toml("zelt = /a\nzelt = \"\"\nzelt =\n", home), "/a");
    EXPECT_EQ(zelt_from_toml("Zelt = /a\nzelt_x = /b\n= /c\nzelt /d\n", home), std::nullopt);
    EXPECT_EQ(zelt_from_toml("[core]\nzelt = /a # note\r\n", home), "/a # note");
    EXPECT_EQ(zelt_from_toml("\t zelt \t=\t/a b \r\n", home), "/a b");
}

TEST(License, ValidAndInvalidForms) {
    for (const char* valid : {"\"Kim Vesk\" <kim@example.com>", "\n\n  \"Kim\"\n  <kim@mail.example.org>\n\n",
                              "\"김\" <a.b+c@x.y>"})
        EXPECT_TRUE(license_is_valid(valid)) << valid;
    for (const char* invalid :
         {"", "\"Kim\"", "Kim <kim@example.com>", "\"Kim\" <kim@localhost>", "\"Kim\" <kim@a@example.com>",
          "\"Kim\" <kim@example.com.>", "\"Kim\" <ki m@example.com>", "\"Kim\" <kim@exa\u3000mple.com>",
          "\"   \" <kim@example.com>", "\"Kim\" <@example.com>", "\"Kim\" <kim@example.com> x"})
        EXPECT_FALSE(license_is_valid(invalid)) << invalid;
}

}  // namespace
}  // namespace vesk::config

namespace vesk::test {
namespace {

TEST(ModeCommand, PrintsTheMode) {
    PrivateEnv env;
    auto r = env.run({"mode"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "general-user\n");
    write_text(env.config_home() / "vesk" / ".license", "\"Kim\" <kim@example.com>\n");
    EXPECT_EQ(env.run({"mode"}).out, "authoring\n");
    // Without HOME, XDG_CONFIG_HOME and ZELT there is no configuration directory: general-user.
    env.vars = {{"HOME", std::nullopt}, {"XDG_CONFIG_HOME", std::nullopt}, {"ZELT", std::nullopt}};
    EXPECT_EQ(env.run({"mode"}).out, "general-user\n");
}

}  // namespace
}  // namespace vesk::test
