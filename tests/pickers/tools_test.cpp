#include <gtest/gtest.h>

#include <cstdlib>

#include "core/command.hpp"
#include "pickers/tools.hpp"
#include "support/private_env.hpp"

using namespace vesk;
using namespace vesk::test;

TEST(PickerTools, OutputWhateverTheStatus) {
    EXPECT_EQ(command_output_allow_failure(ChildCommand("sh", {"-c", "printf ' out \\n\\377'; exit 1"})), " out \n\uFFFD");
}

TEST(PickerTools, PrependToolPathReachesChildren) {
    EnvGuard env;
    env.set("PATH", "/custom");
    prepend_tool_path();
    EXPECT_STREQ(std::getenv("PATH"), "/opt/homebrew/bin:/usr/local/bin:/usr/bin:/bin:/custom");
    EXPECT_EQ(command_output(ChildCommand("sh", {"-c", "echo $PATH"})), std::getenv("PATH"));
    env.unset("PATH");
    prepend_tool_path();
    EXPECT_STREQ(std::getenv("PATH"), "/opt/homebrew/bin:/usr/local/bin:/usr/bin:/bin:");
}
