// The remedies the checks offer: a package to install, or this program run again.
#include <fmt/format.h>

#include "core/command.hpp"
#include "core/text.hpp"
#include "defaults/profile.hpp"
#include "doctor/checks.hpp"

namespace vesk::doctor {

Remedy install_remedy(std::string_view package, std::string hint) {
    if (!which("brew")) return Remedy{std::move(hint), Action{NoAction{}}};
    Recipe recipe = Recipe::make("brew", {"install", std::string(package)});
    recipe.system = true;
    return Remedy{fmt::format("Homebrew로 {}를 설치합니다.", package), Action{std::move(recipe)}};
}

Remedy vesk_remedy(std::string text, std::vector<std::string> args) {
    std::error_code ec;
    const std::filesystem::path self = current_exe(ec);
    return Remedy{std::move(text), Action{Recipe::make(ec ? "vesk" : path_text(self), std::move(args))}};
}

std::vector<std::string> setup_args() { return {"setup", "--profile", profile_name(default_profile())}; }

std::string host_platform() {
#if defined(__APPLE__)
    constexpr const char* os = "macos";
#elif defined(__linux__)
    constexpr const char* os = "linux";
#else
    constexpr const char* os = "unknown";
#endif
#if defined(__x86_64__)
    constexpr const char* arch = "x86_64";
#elif defined(__aarch64__)
    constexpr const char* arch = "aarch64";
#elif defined(__i386__)
    constexpr const char* arch = "x86";
#elif defined(__arm__)
    constexpr const char* arch = "arm";
#else
    constexpr const char* arch = "unknown";
#endif
    return fmt::format("{}-{}", os, arch);
}

}  // namespace vesk::doctor
