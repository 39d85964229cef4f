#include <gtest/gtest.h>

#include "pickers/text.hpp"

using namespace vesk;

TEST(PickerText, MatchingPaddingAndSlashes) {
    EXPECT_TRUE(subsequence_match("rd me", "README.md"));
    EXPECT_TRUE(subsequence_match("md rd", "README.md"));
    EXPECT_FALSE(subsequence_match("dr", "README.md"));
    EXPECT_TRUE(subsequence_match("  ", "anything"));
    EXPECT_FALSE(subsequence_match("어한", "한국어"));

    EXPECT_EQ(pad_display("한a", 5), "한a  ");

    EXPECT_EQ(strip_trailing_slash("/a/b//"), "/a/b");
    EXPECT_EQ(strip_trailing_slash("/"), "");
}
