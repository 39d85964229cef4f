#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "core/error.hpp"
#include "defaults/base64.hpp"
#include "defaults/defaults.hpp"
#include "defaults/embedded.hpp"
#include "defaults/gzip.hpp"
#include "support/private_env.hpp"

namespace vesk {
namespace {

namespace fs = std::filesystem;
using test::read_text;
using test::TempDir;
using test::write_text;

const char* const kNames[] = {
    ".tmux.conf",         ".tmux.conf.local",    "confs/conf.prefix", "confs/conf.common",
    "confs/conf.session", "confs/conf.window",   "confs/conf.codex",  "confs/conf.macos",
    "confs/conf.linux",   "confs/conf.lab",      "confs/conf.plugins"};

// The message of the failure and of each cause, outermost first.
std::vector<std::string> chain_of(const std::function<void()>& f) {
    try {
        f();
    } catch (const std::exception& e) {
        return error_chain(e);
    }
    ADD_FAILURE() << "no error";
    return {};
}

TEST(Defaults, EmbeddedTextsAreTheDistSourcesInOrder) {
    const auto assets = embedded_assets();
    ASSERT_EQ(assets.size(), std::size(kNames));
    const Defaults defaults{"/nonexistent-root", true};
    for (size_t i = 0; i < assets.size(); ++i) {
        EXPECT_EQ(assets[i].name, kNames[i]);
        const std::string source = read_text(fs::path(VESK_SOURCE_DIR) / "dist" / kNames[i]);
        ASSERT_FALSE(source.empty());
        EXPECT_EQ(source.back(), '\n');
        // Every request decodes anew and hands out a text of its own.
        std::string first = defaults.asset(kNames[i]);
        const std::string second = defaults.asset(kNames[i]);
        EXPECT_EQ(first, source) << kNames[i];
        first += "changed";
        EXPECT_EQ(second, source) << kNames[i];
    }
}

TEST(Defaults, EmbeddedModeKnowsOnlyTheElevenNames) {
    const Defaults defaults{"/nonexistent-root", true};
    for (const char* name : {"confs/conf.extra", "conf.common", "./.tmux.conf", ".TMUX.CONF", ""}) {
        EXPECT_EQ(chain_of([&] { defaults.asset(name); }),
                  std::vector<std::string>{fmt::format("이 vesk에는 {} 원본이 들어 있지 않습니다.", name)});
    }
}

TEST(Defaults, AuthoringModeReadsTheRoot) {
    TempDir root;
    write_text(root / "confs/conf.extra", "set -g @x 1\n한글\n");
    const Defaults defaults{root.path(), false};
    EXPECT_EQ(defaults.asset("confs/conf.extra"), "set -g @x 1\n한글\n");

    const std::string missing = (root.path() / "confs/conf.common").string();
    EXPECT_EQ(chain_of([&] { defaults.asset("confs/conf.common"); }),
              std::vector<std::string>{"설정 원본을 읽지 못했습니다 " + missing +
                                       ": No such file or directory (os error 2)"});

    write_text(root / "bad", std::string("a\xff\n"));
    EXPECT_EQ(chain_of([&] { defaults.asset("bad"); }),
              std::vector<std::string>{"설정 원본을 읽지 못했습니다 " + (root.path() / "bad").string() +
                                       ": stream did not contain valid UTF-8"});
}

TEST(Defaults, BrokenRecordsNameTheirStage) {
    auto chain = chain_of([] { decode_embedded({"x", "H4sI*AAA"}); });
    ASSERT_EQ(chain.size(), 2u);
    EXPECT_EQ(chain[0], "내장 설정 asset base64 decode 실패");

    // Valid base64, but not gzip.
    chain = chain_of([] { decode_embedded({"x", "aGVsbG8="}); });
    ASSERT_EQ(chain.size(), 2u);
    EXPECT_EQ(chain[0], "내장 설정 asset 압축 해제 실패");

    // A good gzip member of bytes that are not UTF-8: printf '\xff\xfe' | gzip -n | base64
    chain = chain_of([] { decode_embedded({"x", "H4sIAAAAAAAAA/v/DwCWMPiIAgAAAA=="}); });
    ASSERT_EQ(chain.size(), 2u);
    EXPECT_EQ(chain[0], "내장 설정 asset 압축 해제 실패");
    EXPECT_EQ(chain[1], "stream did not contain valid UTF-8");
}

TEST(Base64, DecodesStandardPaddedText) {
    EXPECT_EQ(decode_base64(""), "");
    EXPECT_EQ(decode_base64("Zg=="), "f");
    EXPECT_EQ(decode_base64("Zm8="), "fo");
    EXPECT_EQ(decode_base64("Zm9v"), "foo");
    EXPECT_EQ(decode_base64("+/+/"), "\xfb\xff\xbf");

    EXPECT_THROW(decode_base64("Zg"), Error);        // the fill is required
    EXPECT_THROW(decode_base64("Zm9v-_=="), Error);  // URL-safe alphabet is not ours
    EXPECT_THROW(decode_base64("Zg==Zm9v"), Error);  // fill only at the end
    EXPECT_THROW(decode_base64("Z==="), Error);
    EXPECT_THROW(decode_base64("Zh=="), Error);      // left-over bits must be zero
    EXPECT_THROW(decode_base64("Zm9v\n"), Error);
}

TEST(Gzip, InflatesExactlyOneMember) {
    const std::string member = decode_base64("H4sIAAAAAAAAA8tIzcnJBwCGphA2BQAAAA==");  // "hello"
    EXPECT_EQ(gunzip(member), "hello");
    EXPECT_THROW(gunzip(""), Error);
    EXPECT_THROW(gunzip(member.substr(0, member.size() - 4)), Error);  // no trailer
    EXPECT_THROW(gunzip(member + "x"), Error);                          // bytes after the member
    std::string corrupt = member;
    corrupt[member.size() - 1] ^= 1;  // length in the trailer
    EXPECT_THROW(gunzip(corrupt), Error);
}

}  // namespace
}  // namespace vesk
