#include "keybind/phrase.hpp"

#include <array>
#include <utility>

#include <fmt/format.h>

#include "keybind/source.hpp"

namespace vesk::keybind::phrase {

namespace {

using Words = std::vector<std::string_view>;
using Entry = std::pair<std::string_view, std::string_view>;

// The word after the first occurrence of `flag`, if any.
std::optional<std::string_view> word_after(const Words& words, std::string_view flag) {
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (words[i] == flag) {
            if (i + 1 < words.size()) return words[i + 1];
            return std::nullopt;
        }
    }
    return std::nullopt;
}

// 왼쪽/오른쪽/위쪽/아래쪽 for the first direction flag among the words.
std::optional<std::string_view> direction(const Words& words) {
    for (std::string_view w : words) {
        if (w == "-L") return "왼쪽";
        if (w == "-R") return "오른쪽";
        if (w == "-U") return "위쪽";
        if (w == "-D") return "아래쪽";
    }
    return std::nullopt;
}

constexpr auto kCopyActions = std::to_array<Entry>({
    {"cancel", "복사 모드 나가기"},
    {"begin-selection", "선택 시작"},
    {"copy-selection-and-cancel", "선택 복사 후 나가기"},
    {"copy-selection", "선택 복사"},
    {"clear-selection", "선택 지우기"},
    {"stop-selection", "선택 끝내기"},
    {"scroll-up", "위로 스크롤"},
    {"scroll-down", "아래로 스크롤"},
    {"page-up", "한 화면 위로"},
    {"page-down", "한 화면 아래로"},
    {"halfpage-up", "반 화면 위로"},
    {"halfpage-down", "반 화면 아래로"},
    {"history-top", "맨 위로"},
    {"history-bottom", "맨 아래로"},
});

// Commands whose phrase does not depend on their arguments.
constexpr auto kFixedPhrases = std::to_array<Entry>({
    {"last-pane", "직전 pane"},
    {"kill-pane", "pane 닫기"},
    {"paste-buffer", "붙여넣기"},
    {"next-window", "다음 창"},
    {"previous-window", "이전 창"},
    {"last-window", "직전 창"},
    {"kill-window", "창 닫기"},
    {"next-layout", "다음 배치"},
    {"kill-server", "tmux 서버 종료"},
    {"choose-tree", "세션 목록 보기"},
    {"display-panes", "pane 번호 표시"},
    {"detach-client", "세션에서 빠져나오기"},
    {"choose-buffer", "복사 기록에서 고르기"},
    {"display-message", "메시지 표시"},
});

// Groups by the subcommand group after "vesk ".
constexpr auto kVeskGroups = std::to_array<Entry>({
    {"tidewell", "TideWell"},
    {"quillbox", "QuillBox"},
    {"finder", "파일 찾기"},
    {"config", "설정"},
    {"session", "세션"},
    {"version", "Version Controller"},
    {"mapping", "단축키 문서"},
    {"note", "노트"},
    {"pane", "Pane"},
    {"copy", "복사 모드"},
    {"popup", "팝업"},
    {"ui", "팝업"},
    {"log", "로그"},
    {"dir", "디렉터리"},
    {"app", "앱 실행"},
});

// Groups by the tmux command itself.
constexpr auto kCommandGroups = std::to_array<Entry>({
    {"select-pane", "Pane"},      {"resize-pane", "Pane"},      {"split-window", "Pane"},
    {"kill-pane", "Pane"},        {"swap-pane", "Pane"},        {"join-pane", "Pane"},
    {"last-pane", "Pane"},        {"break-pane", "Pane"},       {"display-panes", "Pane"},
    {"select-layout", "Pane"},
    {"new-window", "윈도우"},      {"kill-window", "윈도우"},     {"next-window", "윈도우"},
    {"previous-window", "윈도우"}, {"last-window", "윈도우"},     {"move-window", "윈도우"},
    {"swap-window", "윈도우"},     {"rotate-window", "윈도우"},   {"select-window", "윈도우"},
    {"rename-window", "윈도우"},
    {"new-session", "세션"},       {"choose-tree", "세션"},       {"kill-session", "세션"},
    {"switch-client", "세션"},     {"detach-client", "세션"},     {"choose-session", "세션"},
    {"copy-mode", "복사 모드"},    {"send", "복사 모드"},         {"paste-buffer", "복사 모드"},
    {"choose-buffer", "복사 모드"},
    {"send-keys", "키 전달"},      {"send-prefix", "키 전달"},
    {"set", "설정"},               {"setw", "설정"},              {"set-option", "설정"},
    {"set-window-option", "설정"}, {"source-file", "설정"},
    {"if-shell", "조건 실행"},
    {"kill-server", "tmux 제어"},  {"confirm-before", "tmux 제어"},
    {"command-prompt", "tmux 제어"}, {"display-message", "tmux 제어"},
});

template <std::size_t N>
std::optional<std::string_view> lookup(const std::array<Entry, N>& table, std::string_view key) {
    for (const auto& [k, v] : table) {
        if (k == key) return v;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> copy_action(const Words& words) {
    auto action = word_after(words, "-X");
    if (!action) return std::nullopt;
    if (auto phrase = lookup(kCopyActions, *action)) return std::string(*phrase);
    return std::nullopt;
}

std::optional<std::string> command_phrase(const Words& words) {
    if (words.empty()) return std::nullopt;
    std::string_view first = words[0];
    if (auto fixed = lookup(kFixedPhrases, first)) return std::string(*fixed);

    if (first == "select-pane") {
        if (auto d = direction(words)) return fmt::format("{} pane으로 이동", *d);
        return std::nullopt;
    }
    if (first == "resize-pane") {
        if (auto d = direction(words)) return fmt::format("pane을 {}으로 넓히기", *d);
        return std::nullopt;
    }
    if (first == "copy-mode") {
        if (auto action = copy_action(words)) return fmt::format("복사 모드로 {}", *action);
        return "복사 모드 시작";
    }
    if (first == "send-keys" || first == "send") {
        if (auto action = copy_action(words)) return action;
        if (words.size() < 2 || words[1].starts_with('-')) return "키 전달";
        return fmt::format("{} 키 전달", words[1]);
    }
    if (first == "new-window") {
        if (auto name = word_after(words, "-n")) return fmt::format("새 창 열기 ({})", *name);
        return "새 창 열기";
    }
    if (first == "split-window") {
        if (words.size() >= 2 && words[1] == "-h") return "수직 분할";
        if (words.size() >= 2 && words[1] == "-v") return "수평 분할";
        return "분할";
    }
    if (first == "swap-window") {
        auto target = word_after(words, "-t");
        if (target == "-1") return "창을 왼쪽으로 옮기기";
        if (target == "+1") return "창을 오른쪽으로 옮기기";
        return "창 순서 바꾸기";
    }
    if (first == "select-window") {
        if (auto target = word_after(words, "-t")) return fmt::format("{}번 창으로 이동", *target);
        return "창 선택";
    }
    return std::nullopt;
}

std::string group_for(std::string_view command) {
    // The program is named as #{@zelt}/bin/vesk, or single-quoted for the shell as '.../bin/vesk'.
    std::size_t at = command.find("vesk ");
    std::size_t skip = 5;
    if (std::size_t quoted = command.find("vesk' "); quoted < at) at = quoted, skip = 6;
    if (at != std::string_view::npos) {
        if (auto token = source::next_token(command.substr(at + skip))) {
            if (auto group = lookup(kVeskGroups, token->word)) return std::string(*group);
        }
    }
    auto first = source::next_token(command);
    if (first) {
        if (auto group = lookup(kCommandGroups, first->word)) return std::string(*group);
    }
    return "기타";
}

}  // namespace vesk::keybind::phrase
