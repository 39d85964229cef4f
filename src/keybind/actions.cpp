#include "keybind/actions.hpp"

namespace vesk::keybind {

namespace {

using std::nullopt;

KeybindingAction action(std::string_view id, std::string_view group, std::string_view label_ko,
                        std::string_view label_en, std::string_view description, std::string_view key_table,
                        std::string_view default_key, std::string_view command) {
    return KeybindingAction{nullopt, id, group, label_ko, label_en, description, key_table, default_key, command, nullopt};
}

// A UserN key: the terminal sends `sequence`, tmux's user-keys option names it UserN.
KeybindingAction user_key(KeybindingAction a, std::uint64_t index, std::string_view sequence) {
    a.user_key_index = index;
    a.user_key_sequence = sequence;
    return a;
}

}  // namespace

std::vector<KeybindingAction> keybinding_actions() {
    return {
        action("quillbox.open", "quillbox", "QuillBox 열기", "Open QuillBox",
               "현재 pane을 대상으로 QuillBox 메뉴를 엽니다.", "prefix", "C-Space",
               R"x(run-shell "tmux new-pane -x 90% -y 85% -X 5% -Y 8% -- '#{s/'/'\\\\''/:@zelt}/bin/vesk' quillbox open --target-pane '#{pane_id}' --target-command '#{s/'/'\\\\''/:pane_current_command}'")x"),
        action("session.kill-and-next", "session", "세션 종료 후 다음 세션으로 이동", "Kill session and switch to next",
               "현재 세션을 종료하고 다음 세션으로 이동합니다.", "prefix", "C-k",
               R"x(run-shell -b "'#{s/'/'\\\\''/:@zelt}/bin/vesk' session kill-and-next")x"),
        action("finder.filter-edit-dispatch", "finder", "파일 선택 후 현재 pane 편집",
               "Find file and edit in current pane", "현재 pane에서 파일을 선택하고 편집 명령을 전달합니다.", "prefix",
               "C-e", R"x(run-shell -b "'#{s/'/'\\\\''/:@zelt}/bin/vesk' finder filter-edit-dispatch")x"),
        action("log.shell-toggle", "log", "쉘 로그 토글", "Toggle shell log",
               "현재 pane의 쉘 출력을 로그로 기록하거나 중지합니다.", "prefix", "C-y",
               R"x(run-shell -b "'#{s/'/'\\\\''/:@zelt}/bin/vesk' log shell-toggle")x"),
        action("log.search-popup", "log", "로그 검색", "Search logs", "로그 검색 패널을 엽니다.", "prefix", "C-x",
               R"x(run-shell "tmux new-pane -x 90% -y 40% -X 5% -Y 30% -- '#{s/'/'\\\\''/:@zelt}/bin/vesk' log search-popup")x"),
        action("dir.popup", "dir", "디렉터리 선택", "Select directory", "디렉터리 선택 패널을 엽니다.", "root", "M-D",
               R"x(run-shell "tmux new-pane -x 90% -y 80% -X 5% -Y 10% -- '#{s/'/'\\\\''/:@zelt}/bin/vesk' dir popup")x"),
        action("dir.favorite", "dir", "즐겨찾기 디렉터리", "Favorite directories", "즐겨찾기 디렉터리 목록을 엽니다.",
               "root", "M-d",
               R"x(run-shell "tmux new-pane -x 60% -y 70% -X 20% -Y 15% -- '#{s/'/'\\\\''/:@zelt}/bin/vesk' dir favorite")x"),
        action("finder.multimode-open", "finder", "파일 멀티모드 검색", "Find files multi mode",
               "현재 경로에서 파일 검색 패널을 엽니다.", "root", "M-f",
               R"x(run-shell -b "'#{s/'/'\\\\''/:@zelt}/bin/vesk' finder multimode-open '#{pane_id}' '#{s/'/'\\\\''/:pane_current_path}'")x"),
        action("tidewell.open", "tidewell", "TideWell 열기", "Open TideWell",
               "현재 pane을 대상으로 TideWell 입력 패드를 엽니다.", "root", "M-i",
               R"x(run-shell "'#{s/'/'\\\\''/:@zelt}/bin/vesk' tidewell open --target-pane '#{pane_id}'")x"),
        action("tidewell.project-select", "tidewell", "TideWell 프로젝트 선택", "Select TideWell project",
               "TideWell 프로젝트를 선택한 뒤 입력 패드를 엽니다.", "root", "M-I",
               R"x(run-shell "'#{s/'/'\\\\''/:@zelt}/bin/vesk' tidewell project-select")x"),
        user_key(action("tidewell.window-open", "tidewell", "TideWell 새 창", "Open TideWell in new window",
                        "TideWell를 새 window로 엽니다.", "root", "User7",
                        R"x(run-shell -b "'#{s/'/'\\\\''/:@zelt}/bin/vesk' tidewell window-open --target-pane '#{pane_id}'")x"),
                 7, R"(\033[1;13I)"),
        user_key(action("app.launch-open", "app", "앱 실행", "Launch app", "앱 실행 패널을 엽니다.", "root", "User8",
                        R"x(run-shell -b "'#{s/'/'\\\\''/:@zelt}/bin/vesk' app launch-open")x"),
                 8, R"(\033[1;13G)"),
        action("version.controller", "version", "Version Controller", "Version controller",
               "Version Controller를 실행합니다.", "prefix", "C-1",
               R"x(run-shell -b "'#{s/'/'\\\\''/:@zelt}/bin/vesk' version controller")x"),
        action("note.open", "note", "노트 열기", "Open note", "노트 작성 패널을 엽니다.", "prefix", "C-n",
               R"x(run-shell -b "'#{s/'/'\\\\''/:@zelt}/bin/vesk' note open")x"),
        user_key(action("note.open-window", "note", "노트 새 창", "Open note in new window",
                        "노트 작성 패널을 새 window로 엽니다.", "prefix", "User6",
                        R"x(run-shell -b "'#{s/'/'\\\\''/:@zelt}/bin/vesk' note open window")x"),
                 6, R"(\033[1;13N)"),
        action("mapping.popup", "mapping", "MAPPING 보기", "Show key mappings", "MAPPING.md 탐색 패널을 엽니다.",
               "prefix", "C-5",
               R"x(run-shell "tmux new-pane -x 90% -y 80% -X 5% -Y 10% -- '#{s/'/'\\\\''/:@zelt}/bin/vesk' mapping popup")x"),
        action("config.keybindings", "config", "단축키 설정", "Configure keybindings",
               "메뉴 단축키 설정 패널을 엽니다.", "prefix", "C-,",
               R"x(run-shell -b "'#{s/'/'\\\\''/:@zelt}/bin/vesk' config keybindings-popup")x"),
        action("config.plugins", "config", "Plugin 관리자", "Manage plugins", "플러그인 관리 패널을 엽니다.",
               "prefix", "C-4", R"x(run-shell -b "'#{s/'/'\\\\''/:@zelt}/bin/vesk' config plugins-popup")x"),
        action("session.create-popup-open", "session", "세션 생성", "Create session",
               "세션 이름을 선택해 새 세션을 생성합니다.", "prefix", "C-c",
               R"x(run-shell -b "'#{s/'/'\\\\''/:@zelt}/bin/vesk' session create-popup-open")x"),
        action("pane.zoom-toggle", "pane", "현재 pane 최대화", "Zoom current pane",
               "현재 pane zoom 상태를 토글합니다.", "prefix", "Enter",
               R"x(run-shell -b "'#{s/'/'\\\\''/:@zelt}/bin/vesk' pane zoom-toggle")x"),
        action("session.tree-popup", "session", "세션 트리", "Session tree", "세션 트리 패널을 엽니다.", "root",
               "M-Tab",
               R"x(run-shell "tmux new-pane -x 70% -y 70% -X 15% -Y 15% -- '#{s/'/'\\\\''/:@zelt}/bin/vesk' session tree-popup")x"),
        action("copy.cut-selection.vi", "copy", "copy-mode vi 선택 삭제", "Delete selection in copy mode vi",
               "선택 영역을 복사한 뒤 대상 입력에서 삭제합니다.", "copy-mode-vi", "x",
               R"x(send-keys -X copy-selection-and-cancel \; run-shell -b "'#{s/'/'\\\\''/:@zelt}/bin/vesk' copy cut-selection '#{pane_id}'")x"),
        action("copy.cut-selection.emacs", "copy", "copy-mode 선택 삭제", "Delete selection in copy mode",
               "선택 영역을 복사한 뒤 대상 입력에서 삭제합니다.", "copy-mode", "x",
               R"x(send-keys -X copy-selection-and-cancel \; run-shell -b "'#{s/'/'\\\\''/:@zelt}/bin/vesk' copy cut-selection '#{pane_id}'")x"),
    };
}

}  // namespace vesk::keybind
