#include "doctor/checks_live.hpp"

#include <fmt/format.h>

#include "core/error.hpp"
#include "core/text.hpp"
#include "doctor/checks.hpp"

namespace vesk::doctor {

namespace {

// The query's answer, or nothing when it fails.
std::optional<std::string> ask(const Tmux& tmux, const std::vector<std::string>& args) {
    try {
        return tmux.output(args);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<std::string> live_option(const Tmux& tmux, const char* name) {
    auto value = ask(tmux, {"show-option", "-gqv", name});
    if (!value || value->empty()) return std::nullopt;
    return value;
}

Remedy rebuild_remedy() { return vesk_remedy("`vesk rebuild`로 설정을 다시 조립하고 읽습니다.", {"rebuild"}); }

Check plain(std::string_view id, Severity severity, std::string summary) {
    return Check{"tmux", id, severity, std::move(summary), std::nullopt, std::nullopt};
}

void push_vim_bin(std::vector<Check>& checks, const Tmux& tmux) {
    const std::string vim = live_option(tmux, "@vim_bin").value_or("vim");
    Remedy reset{"@vim_bin을 `vim`으로 되돌립니다.",
                 Action{Recipe::make(tmux.bin, {"set", "-g", "@vim_bin", "vim"})}};
    push_command_check(checks, "tmux", "@vim_bin", fmt::format("@vim_bin={}", vim), {vim}, Severity::Error,
                       std::move(reset));
}

void push_zelt_bin(std::vector<Check>& checks, const Tmux& tmux) {
    const auto legacy = live_option(tmux, "@zelt_bin");
    if (!legacy) {
        checks.push_back(plain("@zelt_bin", Severity::Ok, "legacy @zelt_bin 결속이 없습니다."));
        return;
    }
    checks.push_back(
        plain("@zelt_bin", Severity::Warn, fmt::format("legacy @zelt_bin={}", *legacy))
            .with_detail("@zelt_bin은 제거된 결속입니다. 새 바인딩은 #{@zelt}/bin/vesk를 직접 씁니다."));
    checks.back().remedy = Remedy{"사용자 설정 조각에 남은 @zelt_bin 참조를 #{@zelt}/bin/vesk 기준으로 바꾸십시오. "
                                  "지금 이 값을 지우면 옛 조각이 먼저 깨집니다.",
                                  Action{NoAction{}}};
}

void push_conf_variable(std::vector<Check>& checks, const Tmux& tmux, std::string_view name) {
    const auto value = ask(tmux, {"display", "-p", fmt::format("#{{{}}}", name)});
    if (value && !is_blank(*value)) {
        checks.push_back(plain(name, Severity::Ok, fmt::format("{}={}", name, trim(*value))));
        return;
    }
    checks.push_back(plain(name, Severity::Warn, fmt::format("{} 값을 확인하지 못했습니다.", name))
                         .with_detail("tmux 설정이 정상적으로 source 되지 않았을 수 있습니다."));
    checks.back().remedy = rebuild_remedy();
}

struct KeyCheck {
    std::string_view id, sought, title;
};

constexpr KeyCheck kKeyChecks[] = {
    {"key-config", "config keybindings-popup", "keybindings popup"},
    {"key-plugins", "config plugins-popup", "plugin manager"},
    {"key-doctor", "doctor popup", "doctor"},
    {"key-session", "session kill-and-next", "session kill-and-next"},
    {"key-finder", "finder filter-edit-dispatch", "finder"},
    {"key-tidewell", "tidewell open", "TideWell"},
    {"key-quillbox", "quillbox open", "QuillBox"},
    {"key-note", "note open", "Note"},
};

void push_key_checks(std::vector<Check>& checks, const Tmux& tmux) {
    std::string listing;
    try {
        listing = tmux.output({"list-keys"});
    } catch (const std::exception& e) {
        checks.push_back(plain("list-keys", Severity::Warn, "tmux key binding 목록을 읽지 못했습니다.")
                             .with_detail(error_one_line(e)));
        checks.back().remedy = Remedy{"tmux server 상태와 TMUX_BIN 설정을 확인하십시오.", Action{NoAction{}}};
        return;
    }
    for (const auto& key : kKeyChecks) {
        if (listing.find(key.sought) != std::string::npos) {
            checks.push_back(plain(key.id, Severity::Ok, fmt::format("{} binding loaded", key.title)));
            continue;
        }
        checks.push_back(plain(key.id, Severity::Warn, fmt::format("{} binding을 찾지 못했습니다.", key.title))
                             .with_detail(fmt::format("찾은 문자열: {}", key.sought)));
        checks.back().remedy = rebuild_remedy();
    }
}

}  // namespace

std::filesystem::path push_zelt_check(std::vector<Check>& checks, const Tmux& tmux, bool inside,
                                      const std::filesystem::path& fallback) {
    if (!inside) {
        checks.push_back(plain("@zelt", Severity::Skip, "tmux 세션 밖이라 live @zelt를 확인하지 않았습니다.")
                             .with_detail(fmt::format("파일 점검은 {} 기준으로 진행합니다.", path_text(fallback))));
        return fallback;
    }
    if (auto zelt = live_option(tmux, "@zelt")) {
        checks.push_back(plain("@zelt", Severity::Ok, fmt::format("@zelt={}", *zelt))
                             .with_detail("현재 tmux 세션에서 읽은 설치 자리입니다."));
        return *zelt;
    }
    checks.push_back(plain("@zelt", Severity::Error, "tmux option @zelt가 없습니다.")
                         .with_detail("이 값이 없으면 모든 키 바인딩이 vesk를 찾지 못합니다."));
    checks.back().remedy = vesk_remedy("`vesk setup`을 실행해 설치 자리를 다시 결속합니다.", setup_args());
    return fallback;
}

void push_live_checks(std::vector<Check>& checks, const Tmux& tmux, bool inside) {
    if (!inside) {
        checks.push_back(plain("live-session", Severity::Skip, "tmux 세션 밖이라 live binding 검사를 건너뜁니다.")
                             .with_detail("tmux 안에서 다시 실행하면 key binding과 live option까지 봅니다."));
        return;
    }
    push_vim_bin(checks, tmux);
    push_zelt_bin(checks, tmux);
    push_conf_variable(checks, tmux, "TMUX_CONF");
    push_conf_variable(checks, tmux, "TMUX_CONF_LOCAL");
    push_key_checks(checks, tmux);
}

void push_qbox_root_check(std::vector<Check>& checks, const Tmux& tmux, bool inside) {
    auto check = [](Severity severity, std::string summary) {
        return Check{"features", "@qbox_root", severity, std::move(summary), std::nullopt, std::nullopt};
    };
    if (!inside) {
        checks.push_back(check(Severity::Skip, "tmux 세션 밖이라 QuillBox live root를 확인하지 않았습니다."));
        return;
    }
    if (auto root = live_option(tmux, "@qbox_root")) {
        checks.push_back(check(Severity::Ok, fmt::format("@qbox_root={}", *root)));
        return;
    }
    checks.push_back(check(Severity::Warn, "QuillBox root가 아직 결속되지 않았습니다.")
                         .with_detail("아직 한 번도 vault를 고르지 않았을 때 나옵니다. 처음이라면 정상입니다."));
    checks.back().remedy = Remedy{"QuillBox를 처음 열어 vault를 고르거나 `tmux set -g @qbox_root <dir>`로 지정하십시오. "
                                  "어느 자리를 쓸지는 사용자만 압니다.",
                                  Action{NoAction{}}};
}

}  // namespace vesk::doctor
