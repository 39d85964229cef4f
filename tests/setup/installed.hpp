// The program as the README's `cmake --install --strip` lays it out (<prefix>/bin/vesk beside lib/,
// doc/, lists/), installed once per test program from the build under test.
#pragma once

#include <stdexcept>

#include "support/private_env.hpp"

namespace vesk::test {

inline const fs::path& installed_prefix() {
    static TempDir dir;
    static const fs::path prefix = [] {
        ChildCommand install("cmake", {"--install", fs::path(VESK_BINARY).parent_path().string(), "--strip", "--prefix",
                                       (dir / "prefix").string()});
        install.stdin_(Stdio::Null).stdout_(Stdio::Pipe).stderr_(Stdio::Pipe);
        const Output o = run_child(install);
        if (!o.status.success()) throw std::runtime_error("cmake --install failed: " + o.err);
        return dir / "prefix";
    }();
    return prefix;
}

}  // namespace vesk::test
