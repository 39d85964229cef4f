// The program as `cmake --install` lays it out: <prefix>/bin/vesk beside lib/, doc/ and lists/.
#pragma once

#include <filesystem>
#include <stdexcept>

#include "core/process.hpp"
#include "support/private_env.hpp"

namespace vesk::test {

// A prefix installed once per test program from the build that made the binary under test,
// removed at exit.
inline const std::filesystem::path& installed_prefix() {
    static TempDir dir;
    static const std::filesystem::path prefix = [] {
        const std::filesystem::path p = dir / "prefix";
        ChildCommand install("cmake", {"--install", std::filesystem::path(VESK_BINARY).parent_path().string(),
                                       "--prefix", p.string()});
        install.in = Stdio::Null;
        install.out = Stdio::Pipe;
        install.err = Stdio::Pipe;
        const Output o = run_child(install);
        if (!o.status.success()) throw std::runtime_error("cmake --install failed: " + o.err);
        return p;
    }();
    return prefix;
}

}  // namespace vesk::test
