#include <gtest/gtest.h>

#include <filesystem>

#include "core/error.hpp"
#include "core/fzf.hpp"
#include "env_guard.hpp"
#include "support/private_env.hpp"

using namespace vesk;
using vesk::test::EnvGuard;
using vesk::test::TempDir;
using vesk::test::write_text;
namespace fs = std::filesystem;

namespace {

// A stand-in fzf first on PATH.
void fake_fzf(EnvGuard& env, const TempDir& dir, const std::string& script) {
    fs::create_directories(dir / "bin");
    write_text(dir / "bin" / "fzf", "#!/bin/sh\n" + script);
    fs::permissions(dir / "bin" / "fzf", fs::perms::owner_all);
    env.set("PATH", (dir / "bin").string() + ":/usr/bin:/bin");
}

}  // namespace

TEST(Fzf, SplitExpectOutput) {
    auto e = split_fzf_expect_output("");
    EXPECT_EQ(e.key, "");
    EXPECT_EQ(e.selection, "");
    e = split_fzf_expect_output("ctrl-n\n");
    EXPECT_EQ(e.key, "ctrl-n");
    EXPECT_EQ(e.selection, "");
    e = split_fzf_expect_output("\r\n세션 하나\tid\r\nthird\n");
    EXPECT_EQ(e.key, "");
    EXPECT_EQ(e.selection, "세션 하나\tid");
    e = split_fzf_expect_output("ctrl-x\n  padded  ");
    EXPECT_EQ(e.selection, "  padded  ");
}

TEST(Fzf, RealFzfFilter) {
    const std::string input = "apple\nbanana\n한국어 노트\n";
    EXPECT_EQ(run_fzf_with_input(input, {"--filter", "bnn"}), "banana\n");
    EXPECT_EQ(run_fzf_with_input(input, {"--filter=노트"}), "한국어 노트\n");
    EXPECT_EQ(run_fzf_with_input(input, {"--filter", "zzz"}), "");

    FzfRun run = run_fzf_with_input_status(input, {"--filter", "an"});
    EXPECT_EQ(run.output, "banana");
    EXPECT_EQ(run.code, 0);
    run = run_fzf_with_input_status(input, {"--filter", "zzz"});
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(run.code, 1);

    std::string big;
    for (int i = 0; i < 100000; ++i) big += "candidate line number " + std::to_string(i) + "\n";
    std::string out = run_fzf_with_input(big, {"--filter", "'number 99999", "--exact"});
    EXPECT_EQ(out, "candidate line number 99999\n");
    // Every line back through the pipe at once.
    run = run_fzf_with_input_status(big, {"--filter", "candidate"});
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.output.size() + 1, big.size());
}

TEST(Fzf, SignalsStartFailuresAndEarlyExit) {
    TempDir dir;
    EnvGuard env;
    fake_fzf(env, dir, "kill -9 $$\n");
    FzfRun run = run_fzf_with_input_status("a\nb\n", {});
    EXPECT_FALSE(run.code);
    EXPECT_EQ(run.output, "");

    // An fzf that answers before reading everything: the answer counts, not the broken pipe.
    fake_fzf(env, dir, "echo chosen\nexit 0\n");
    std::string big(8 << 20, 'x');
    EXPECT_EQ(run_fzf_with_input(big, {}), "chosen\n");
    run = run_fzf_with_input_status(big, {});
    EXPECT_EQ(run.output, "chosen");
    EXPECT_EQ(run.code, 0);

    env.set("PATH", (dir / "empty").string());
    EXPECT_THROW(run_fzf_with_input("a\n", {}), SystemError);
    EXPECT_THROW(run_fzf_with_input_status("a\n", {}), SystemError);
}
