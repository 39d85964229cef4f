// doc/MAPPING.md and doc/keybindings.itermkeymap are made here from the fragments' bindings and
// compared with the committed files, so they never disagree. After a change of the fragments:
//     VESK_WRITE_DOCS=1 <build>/tests/setup_tests --gtest_filter='DistDocs.*'
#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <set>

#include "defaults/defaults.hpp"
#include "defaults/profile.hpp"
#include "keybind/model.hpp"
#include "keybind/source.hpp"
#include "rebuild/assemble.hpp"
#include "support/tmux_server.hpp"

namespace vesk::test {
namespace {

const fs::path kDist = fs::path(VESK_SOURCE_DIR) / "dist";

// Every fragment in the linux order of the key-binding screen, conf.macos after conf.linux.
std::vector<keybind::source::Binding> all_bindings() {
    const Defaults defaults{kDist, true};
    auto order = fragment_order(RebuildProfile::Linux);
    order.insert(std::find(order.begin(), order.end(), "conf.linux") + 1, "conf.macos");
    std::vector<keybind::source::Binding> out;
    for (const auto& name : order) {
        const auto some = keybind::source::parse(defaults.asset("confs/" + name), name);
        out.insert(out.end(), some.begin(), some.end());
    }
    return out;
}

std::string cell(const std::string& text) {
    std::string out;
    for (char c : text) out += c == '|' ? "\\|" : c == '\n' ? " " : std::string(1, c);
    return out;
}

std::string mapping_markdown() {
    const auto session = keybind::model::session_from_bindings(all_bindings(), {});
    std::string out =
        "# vesk 키 매핑\n\n"
        "`vesk setup`이 설치하는 tmux 설정의 키 바인딩입니다. 묶음은 `vesk config keybindings` 화면과 같습니다.\n"
        "접두 키는 `C-Space`입니다. \"prefix 뒤\"는 접두 키 다음에, \"바로\"는 접두 키 없이 누르는 키입니다.\n"
        "키를 바꾸려면 `vesk config keybindings`를 쓰십시오. 이 문서는 바꾼 키를 따라가지 않습니다.\n";
    for (const auto& group : keybind::model::groups(session)) {
        out += "\n## " + group.name + "\n\n| 키 | 어디서 | 하는 일 | 조각 |\n|---|---|---|---|\n";
        for (std::size_t i : group.indices) {
            const auto& info = session.entries[i].info;
            const std::string& t = info.default_table;
            out += "| `" + cell(info.default_key) + "` | " +
                   cell(t == "prefix" ? "prefix 뒤" : t == "root" ? "바로" : t) + " | " + cell(info.description) +
                   " | " + info.id.substr(0, info.id.rfind(':')) + " |\n";
        }
    }
    return out;
}

// The iTerm2 key ("0x<character>-0x<modifier flags>") and the bytes it must send for a Meta key
// of tmux; nothing for the keys any terminal sends without help.
struct KeySend {
    std::string iterm_key;
    std::vector<int> bytes;
};

std::optional<KeySend> key_send(const std::string& key) {
    bool ctrl = false, meta = false, shift = false;
    std::string base = key;
    for (; base.size() > 2 && base[1] == '-'; base = base.substr(2)) {
        if (base[0] == 'C') ctrl = true;
        else if (base[0] == 'M') meta = true;
        else if (base[0] == 'S') shift = true;
        else return std::nullopt;
    }
    if (!meta) return std::nullopt;
    const int xterm_mod = 3 + (shift ? 1 : 0) + (ctrl ? 4 : 0);
    int flags = 0x80000 | (ctrl ? 0x40000 : 0) | (shift ? 0x20000 : 0);
    const auto csi = [](const std::string& text) {
        std::vector<int> bytes = {0x1b, '['};
        bytes.insert(bytes.end(), text.begin(), text.end());
        return bytes;
    };
    const auto name = [](int ch, int flags) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "0x%x-0x%x", ch, flags);
        return std::string(buf);
    };
    const std::map<std::string, std::pair<int, char>> arrows = {
        {"Up", {0xf700, 'A'}}, {"Down", {0xf701, 'B'}}, {"Left", {0xf702, 'D'}}, {"Right", {0xf703, 'C'}}};
    if (auto a = arrows.find(base); a != arrows.end())
        return KeySend{name(a->second.first, flags | 0x200000), csi("1;" + std::to_string(xterm_mod) + a->second.second)};
    const std::map<std::string, int> named = {{"Tab", '\t'}, {"Enter", '\r'}, {"Space", ' '}};
    int ch;
    if (named.count(base)) ch = named.at(base);
    else if (base.size() == 1 && base[0] > ' ' && base[0] < 0x7f) ch = base[0];
    else return std::nullopt;
    if (ch >= 'A' && ch <= 'Z') flags |= 0x20000;
    // iTerm2 names a shifted key by the character a US keyboard gives.
    static const std::string plain = "`1234567890-=[]\\;',./", shifted = "~!@#$%^&*()_+{}|:\"<>?";
    const auto at = plain.find(static_cast<char>(ch));
    const int typed = shift && at != std::string::npos ? shifted[at] : ch;
    // ESC and the character; with Ctrl its control code, unless that is a key of its own (Tab,
    // Enter, Escape, C-j) or there is none: then the CSI u form tmux reads as the whole key.
    const int code = ch & 0x1f;
    if (!ctrl && !shift) return KeySend{name(typed, flags), {0x1b, ch}};
    if (ctrl && !shift && ((ch >= 'a' && ch <= 'z') || (ch >= '@' && ch <= '_')) && code != '\t' && code != '\r' &&
        code != 0x1b && code != '\n')
        return KeySend{name(typed, flags), {0x1b, code}};
    return KeySend{name(typed, flags), csi(std::to_string(ch) + ";" + std::to_string(xterm_mod) + "u")};
}

std::string hex_bytes(const std::vector<int>& bytes, const char* format, const char* separator) {
    std::string text;
    for (int byte : bytes) {
        char hex[8];
        std::snprintf(hex, sizeof hex, format, byte);
        text += (text.empty() ? "" : separator) + std::string(hex);
    }
    return text;
}

std::string iterm_keymap() {
    nlohmann::ordered_json mappings = nlohmann::ordered_json::object();
    std::set<std::string> seen;
    for (const auto& b : all_bindings())
        if (const auto send = key_send(b.key); send && seen.insert(send->iterm_key).second)
            mappings[send->iterm_key] = {{"Action", 11}, {"Text", hex_bytes(send->bytes, "0x%x", " ")}};
    return nlohmann::ordered_json{{"Key Mappings", mappings}, {"Touch Bar Items", nlohmann::ordered_json::object()}}.dump(2) +
           "\n";
}

TEST(DistDocs, MappingAndKeymapAreMadeFromTheFragments) {
    for (const auto& [file, made] : {std::pair{kDist / "doc/MAPPING.md", mapping_markdown()},
                                     std::pair{kDist / "doc/keybindings.itermkeymap", iterm_keymap()}}) {
        if (const char* w = std::getenv("VESK_WRITE_DOCS"); w && std::string(w) == "1") write_text(file, made);
        EXPECT_EQ(read_text(file), made) << file << " is out of date; see the top of " << __FILE__;
    }
    const auto json = nlohmann::json::parse(read_text(kDist / "doc/keybindings.itermkeymap"));
    EXPECT_EQ(json.at("Key Mappings").at("0x66-0x80000").at("Text"), "0x1b 0x66");  // M-f
    EXPECT_EQ(json.at("Key Mappings").at("0x67-0xc0000").at("Text"), "0x1b 0x7");   // C-M-g
}

// The key map's bytes, typed at a client, reach tmux as the very key the fragments bind.
TEST(DistDocs, KeymapBytesArriveAsTheBoundKeys) {
    TmuxServer inner;
    AttachedClient client(inner);
    const std::string outer_pane = client.outer().tmux_ok({"display", "-p", "#{pane_id}"});
    std::set<std::string> keys;
    for (const auto& b : all_bindings()) {
        const auto send = key_send(b.key);
        if (!send || !keys.insert(b.key).second) continue;
        inner.tmux_ok({"bind-key", "-n", b.key, "set", "-g", "@hit", b.key});
        std::vector<std::string> args = {"send-keys", "-t", outer_pane, "-H"};
        for (int byte : send->bytes) args.push_back(hex_bytes({byte}, "%02x", ""));
        client.outer().tmux_ok(args);
        wait_until([&] { return inner.global_option("@hit") == b.key; }, std::chrono::seconds(5));
        EXPECT_EQ(inner.global_option("@hit"), b.key);
        inner.tmux_ok({"set", "-gu", "@hit"});
    }
    EXPECT_GT(keys.size(), 10u);
}

}  // namespace
}  // namespace vesk::test
