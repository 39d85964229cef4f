// doc/MAPPING.md and doc/keybindings.itermkeymap are made from the fragments' bindings, so they
// can never disagree with them: these tests make both anew and compare. After a change of the
// fragments, write them again with
//     VESK_WRITE_DOCS=1 <build>/tests/setup_tests --gtest_filter='DistDocs.*'
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "defaults/defaults.hpp"
#include "keybind/model.hpp"
#include "keybind/source.hpp"
#include "rebuild/assemble.hpp"
#include "support/private_env.hpp"
#include "support/tmux_server.hpp"

namespace vesk {
namespace {

namespace fs = std::filesystem;
using test::read_text;

const fs::path kDist = fs::path(VESK_SOURCE_DIR) / "dist";

// Every fragment: the linux order the key-binding screen edits, with conf.macos beside conf.linux.
std::vector<keybind::source::Binding> all_bindings() {
    const Defaults defaults{kDist, true};
    std::vector<std::string> order = rebuild::fragment_order(RebuildProfile::Linux);
    for (auto it = order.begin(); it != order.end(); ++it) {
        if (*it == "conf.linux") {
            order.insert(it + 1, "conf.macos");
            break;
        }
    }
    std::vector<keybind::source::Binding> out;
    for (const auto& name : order) {
        auto some = keybind::source::parse(defaults.asset("confs/" + name), name);
        out.insert(out.end(), some.begin(), some.end());
    }
    return out;
}

std::string table_label(const std::string& table) {
    if (table == "prefix") return "prefix 뒤";
    if (table == "root") return "바로";
    return table;
}

std::string cell(std::string text) {
    std::string out;
    for (char c : text) {
        if (c == '|') out += "\\|";
        else if (c == '\n') out += ' ';
        else out += c;
    }
    return out;
}

std::string mapping_markdown() {
    const auto bindings = all_bindings();
    const auto session = keybind::model::session_from_bindings(bindings, {});
    std::string out =
        "# vesk 키 매핑\n\n"
        "`vesk setup`이 설치하는 tmux 설정의 키 바인딩입니다. 묶음은 `vesk config keybindings` 화면과 같습니다.\n"
        "접두 키는 `C-Space`입니다. \"prefix 뒤\"는 접두 키 다음에, \"바로\"는 접두 키 없이 누르는 키입니다.\n"
        "키를 바꾸려면 `vesk config keybindings`를 쓰십시오. 이 문서는 바꾼 키를 따라가지 않습니다.\n";
    for (const auto& group : keybind::model::groups(session)) {
        out += "\n## " + group.name + "\n\n| 키 | 어디서 | 하는 일 | 조각 |\n|---|---|---|---|\n";
        for (std::size_t i : group.indices) {
            const auto& info = session.entries[i].info;
            const std::string fragment = info.id.substr(0, info.id.rfind(':'));
            out += "| `" + cell(info.default_key) + "` | " + cell(table_label(info.default_table)) + " | " +
                   cell(info.description) + " | " + fragment + " |\n";
        }
    }
    return out;
}

// What a terminal sends for a key tmux should read as `mods` + `base`; nothing when the terminal
// sends it without help.
struct KeySend {
    std::string iterm_key;  // "0x<character>-0x<modifier flags>"
    std::vector<int> bytes;
};

std::optional<KeySend> key_send(const std::string& key) {
    bool ctrl = false, meta = false, shift = false;
    std::string base = key;
    while (base.size() > 2 && base[1] == '-') {
        const char m = base[0];
        if (m == 'C') ctrl = true;
        else if (m == 'M') meta = true;
        else if (m == 'S') shift = true;
        else return std::nullopt;
        base = base.substr(2);
    }
    if (!meta) return std::nullopt;  // plain and Ctrl keys reach tmux from any terminal
    const int kShift = 0x20000, kCtrl = 0x40000, kOption = 0x80000, kArrow = 0x200000;
    const int xterm_mod = 1 + (shift ? 1 : 0) + 2 + (ctrl ? 4 : 0);
    const auto csi = [](const std::string& text) {
        std::vector<int> bytes = {0x1b, '['};
        for (char c : text) bytes.push_back(static_cast<unsigned char>(c));
        return bytes;
    };
    const std::map<std::string, std::pair<int, char>> arrows = {
        {"Up", {0xf700, 'A'}}, {"Down", {0xf701, 'B'}}, {"Left", {0xf702, 'D'}}, {"Right", {0xf703, 'C'}}};
    int flags = kOption | (ctrl ? kCtrl : 0) | (shift ? kShift : 0);
    char buf[64];
    if (auto a = arrows.find(base); a != arrows.end()) {
        std::snprintf(buf, sizeof buf, "0x%x-0x%x", a->second.first, flags | kArrow);
        return KeySend{buf, csi("1;" + std::to_string(xterm_mod) + a->second.second)};
    }
    int ch;
    if (base == "Tab") ch = '\t';
    else if (base == "Enter") ch = '\r';
    else if (base == "Space") ch = ' ';
    else if (base.size() == 1 && base[0] > ' ' && base[0] < 0x7f) ch = base[0];
    else return std::nullopt;
    if (ch >= 'A' && ch <= 'Z') flags |= kShift;
    // The character a shifted US key gives: iTerm2 names the key by it.
    static const std::string plain = "`1234567890-=[]\\;',./", shifted = "~!@#$%^&*()_+{}|:\"<>?";
    int typed = ch;
    if (shift && plain.find(static_cast<char>(ch)) != std::string::npos) typed = shifted[plain.find(static_cast<char>(ch))];
    std::snprintf(buf, sizeof buf, "0x%x-0x%x", typed, flags);
    // Escape and the character; with Ctrl its control code, unless that is a key of its own (Tab,
    // Enter, Escape) or there is none (digits): then the CSI u form tmux reads as the whole key.
    if (ctrl || shift) {
        const bool letter = (ch >= 'a' && ch <= 'z') || (ch >= '@' && ch <= '_');
        const int code = ch & 0x1f;
        if (ctrl && !shift && letter && code != '\t' && code != '\r' && code != 0x1b && code != '\n')
            return KeySend{buf, {0x1b, code}};
        return KeySend{buf, csi(std::to_string(ch) + ";" + std::to_string(xterm_mod) + "u")};
    }
    return KeySend{buf, {0x1b, ch}};
}

std::string iterm_keymap() {
    nlohmann::ordered_json mappings = nlohmann::ordered_json::object();
    std::set<std::string> seen;
    for (const auto& b : all_bindings()) {
        const auto send = key_send(b.key);
        if (!send || !seen.insert(send->iterm_key).second) continue;
        std::string text;
        for (int byte : send->bytes) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "%s0x%x", text.empty() ? "" : " ", byte);
            text += hex;
        }
        mappings[send->iterm_key] = {{"Action", 11}, {"Text", text}};
    }
    return nlohmann::ordered_json{{"Key Mappings", mappings}, {"Touch Bar Items", nlohmann::ordered_json::object()}}.dump(2) +
           "\n";
}

void compare_or_write(const fs::path& file, const std::string& made) {
    if (const char* w = std::getenv("VESK_WRITE_DOCS"); w && std::string(w) == "1") test::write_text(file, made);
    EXPECT_EQ(read_text(file), made) << file << " is out of date; see the top of " << __FILE__;
}

TEST(DistDocs, MappingAndKeymapAreMadeFromTheFragments) {
    compare_or_write(kDist / "doc/MAPPING.md", mapping_markdown());
    compare_or_write(kDist / "doc/keybindings.itermkeymap", iterm_keymap());
    const auto json = nlohmann::json::parse(read_text(kDist / "doc/keybindings.itermkeymap"));
    EXPECT_EQ(json.at("Key Mappings").at("0x66-0x80000").at("Text"), "0x1b 0x66");  // M-f
    EXPECT_EQ(json.at("Key Mappings").at("0x67-0xc0000").at("Text"), "0x1b 0x7");   // C-M-g
}

// The bytes of the key map, typed at a client, reach tmux as the very key the fragments bind.
TEST(DistDocs, KeymapBytesArriveAsTheBoundKeys) {
    test::TmuxServer inner;
    test::AttachedClient client(inner);
    const std::string outer_pane = client.outer().tmux_ok({"display", "-p", "#{pane_id}"});
    std::set<std::string> keys;
    for (const auto& b : all_bindings()) {
        const auto send = key_send(b.key);
        if (!send || !keys.insert(b.key).second) continue;
        inner.tmux_ok({"bind-key", "-n", b.key, "set", "-g", "@hit", b.key});
        std::vector<std::string> args = {"send-keys", "-t", outer_pane, "-H"};
        for (int byte : send->bytes) {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%02x", byte);
            args.push_back(hex);
        }
        client.outer().tmux_ok(args);
        test::wait_until([&] { return inner.global_option("@hit") == b.key; }, std::chrono::seconds(5));
        EXPECT_EQ(inner.global_option("@hit"), b.key);
        inner.tmux_ok({"set", "-gu", "@hit"});
    }
    EXPECT_GT(keys.size(), 10u);
}

}  // namespace
}  // namespace vesk
