#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "pickers/text.hpp"

using namespace vesk;

// Counting the allocations of this test program: the finder matches every file of a tree on each
// keystroke, and the matcher must not allocate for each.
namespace {
bool counting = false;
long allocations = 0;
}  // namespace

void* operator new(std::size_t size) {
    if (counting) ++allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

TEST(PickerText, MatchingPaddingAndSlashes) {
    EXPECT_TRUE(subsequence_match("rd me", "README.md"));
    EXPECT_TRUE(subsequence_match("md rd", "README.md"));
    EXPECT_FALSE(subsequence_match("dr", "README.md"));
    EXPECT_TRUE(subsequence_match("  ", "anything"));
    EXPECT_FALSE(subsequence_match("어한", "한국어"));
    EXPECT_TRUE(subsequence_match("İ ÄB", "xi\u0307 äb"));  // both sides lower-cased fully
    EXPECT_TRUE(subsequence_match("\u3000abc\u00a0 c ", "a/b/c.txt"));  // Unicode blanks separate terms
    EXPECT_FALSE(subsequence_match("abc d", "a/b/c.txt"));
    // An ASCII query meets letters beyond ASCII whose lower case is ASCII (the Kelvin sign is k),
    // before and after a plain ASCII start.
    EXPECT_TRUE(subsequence_match("ok", "o\u212A"));
    EXPECT_TRUE(subsequence_match("KB", "\u212Ab.txt"));
    EXPECT_FALSE(subsequence_match("kx", "ab/\u212A"));
    EXPECT_TRUE(subsequence_match("ab", "\u00e9a/b"));

    counting = true;
    bool all = subsequence_match("src Main ÄÖ", "project/src/lib/MAIN_äöü.cpp") && !subsequence_match("xyz", "abc");
    counting = false;
    EXPECT_TRUE(all);
    EXPECT_EQ(allocations, 0);

    EXPECT_EQ(pad_display("한a", 5), "한a  ");

    EXPECT_EQ(strip_trailing_slash("/a/b//"), "/a/b");
    EXPECT_EQ(strip_trailing_slash("/"), "");
}
