#include <gtest/gtest.h>

#include <fmt/format.h>

#include "core/error.hpp"
#include "defaults/base64.hpp"
#include "defaults/defaults.hpp"
#include "defaults/embedded.hpp"
#include "defaults/gzip.hpp"
#include "support/private_env.hpp"

namespace vesk {
namespace {

using namespace test;

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
    return {"(no error)"};
}

TEST(Defaults, EmbeddedTextsAreTheDistSourcesInOrder) {
    const auto assets = embedded_assets();
    ASSERT_EQ(assets.size(), std::size(kNames));
    const Defaults defaults{"/nonexistent-root", true};
    for (size_t i = 0; i < assets.size(); ++i) {
        EXPECT_EQ(assets[i].name, kNames[i]);
        const std::string source = read_text(fs::path(VESK_SOURCE_DIR) / "dist" / kNames[i]);
        EXPECT_EQ(source.back(), '\n');
        // Every request decodes anew and hands out a text of its own.
        std::string first = defaults.asset(kNames[i]);
        EXPECT_EQ(first, source) << kNames[i];
        first += "changed";
        EXPECT_EQ(defaults.asset(kNames[i]), source) << kNames[i];
    }
}

TEST(Defaults, TheFourErrors) {
    // Not one of the eleven names.
    const Defaults embedded{"/nonexistent-root", true};
    for (const char* name : {"confs/conf.extra", "./.tmux.conf", ""})
        EXPECT_EQ(chain_of([&] { embedded.asset(name); }),
                  std::vector<std::string>{fmt::format("이 vesk에는 {} 원본이 들어 있지 않습니다.", name)});

    // Authoring mode reads the root, and fails only when the file cannot be read as text.
    TempDir root;
    write_text(root / "confs/conf.extra", "set -g @x 1\n한글\n");
    const Defaults authoring{root.path(), false};
    EXPECT_EQ(authoring.asset("confs/conf.extra"), "set -g @x 1\n한글\n");
    EXPECT_EQ(chain_of([&] { authoring.asset("confs/conf.common"); }),
              std::vector<std::string>{"설정 원본을 읽지 못했습니다 " + (root.path() / "confs/conf.common").string() +
                                       ": No such file or directory (os error 2)"});
    write_text(root / "bad", std::string("a\xff\n"));
    EXPECT_EQ(chain_of([&] { authoring.asset("bad"); }),
              std::vector<std::string>{"설정 원본을 읽지 못했습니다 " + (root.path() / "bad").string() +
                                       ": stream did not contain valid UTF-8"});

    // Broken records name their stage.
    EXPECT_EQ(chain_of([] { decode_embedded({"x", "H4sI*AAA"}); }).at(0), "내장 설정 asset base64 decode 실패");
    EXPECT_EQ(chain_of([] { decode_embedded({"x", "aGVsbG8="}); }).at(0), "내장 설정 asset 압축 해제 실패");
    // A good gzip member of bytes that are not UTF-8: printf '\xff\xfe' | gzip -n | base64
    EXPECT_EQ(chain_of([] { decode_embedded({"x", "H4sIAAAAAAAAA/v/DwCWMPiIAgAAAA=="}); }),
              (std::vector<std::string>{"내장 설정 asset 압축 해제 실패", "stream did not contain valid UTF-8"}));
}

TEST(Defaults, Base64AndGzipAcceptOnlyWellFormedInput) {
    EXPECT_EQ(decode_base64("Zg=="), "f");
    EXPECT_EQ(decode_base64("+/+/"), "\xfb\xff\xbf");
    for (const char* bad : {"Zg", "Zm9v-_==", "Zg==Zm9v", "Zh==", "Zm9v\n"}) EXPECT_THROW(decode_base64(bad), Error) << bad;

    const std::string member = decode_base64("H4sIAAAAAAAAA8tIzcnJBwCGphA2BQAAAA==");  // "hello"
    EXPECT_EQ(gunzip(member), "hello");
    EXPECT_THROW(gunzip(member.substr(0, member.size() - 4)), Error);  // no trailer
    EXPECT_THROW(gunzip(member + "x"), Error);                          // bytes after the member
}

}  // namespace
}  // namespace vesk
