#include "keybind/overrides.hpp"

#include "core/files.hpp"
#include "core/text.hpp"
#include "keybind/keys.hpp"
#include "keybind/kept_lines.hpp"

namespace vesk::keybind::overrides {

namespace {

constexpr std::string_view kHeader =
    "# vesk 설정 화면에서 바꾼 단축키입니다.\n"
    "# 직접 고쳐도 됩니다. 기본값 그대로인 항목은 여기에 적히지 않습니다.\n";

std::string collapse_blanks(std::string_view text) {
    std::string out;
    for (std::string_view w : source::split_words(text)) {
        if (!out.empty()) out += ' ';
        out += w;
    }
    return out;
}

// A command stripped of its shell and tmux quoting: '#{s/'/'\\''/:X}' (the escaping modifier the
// distribution wraps @zelt and pane texts in) becomes #{X}, every quote, backslash and $ goes, and
// so does the `--` word before a floating pane's command. Bindings written to keybindings.conf
// before the distribution quoted its root for the shell still find their binding by it.
std::string unquoted_form(std::string_view command) {
    std::string bare;
    for (char c : command)
        if (c != '\'' && c != '"' && c != '\\' && c != '$') bare += c;
    // What is left of the escaping modifier: #{s/'/'\\''/:X} without its quotes and backslashes.
    static constexpr std::string_view kEscape = "#{s///:";
    for (std::size_t at = bare.find(kEscape); at != std::string::npos; at = bare.find(kEscape, at))
        bare.replace(at, kEscape.size(), "#{");
    std::string out;
    for (std::string_view w : source::split_words(bare)) {
        if (w == "--") continue;
        if (!out.empty()) out += ' ';
        out += w;
    }
    return out;
}

// "unbind [-n] [-T table] KEY" (not unbind-key, which tmux reads the same but the file never holds).
std::optional<Unbind> read_unbind(std::string_view line) {
    std::string_view rest = trim(line);
    if (!rest.starts_with("unbind")) return std::nullopt;
    rest.remove_prefix(6);
    if (auto first = source::next_token(rest); !first || first->word.data() == rest.data()) {
        // Nothing after "unbind", or no white space right after it ("unbind-key", "unbindx").
        return std::nullopt;
    }
    std::string table = "prefix";
    while (auto token = source::next_token(rest)) {
        std::string_view word = token->word;
        rest = token->rest;
        if (word == "-n") {
            table = "root";
        } else if (word == "-T") {
            auto value = source::next_token(rest);
            if (!value) return std::nullopt;
            table = std::string(value->word);
            rest = value->rest;
        } else if (word.size() >= 2 && word.starts_with('-')) {
            continue;
        } else {
            return Unbind{std::move(table), keys::unquote_key(word)};
        }
    }
    return std::nullopt;
}

}  // namespace

std::string table_option(std::string_view table) {
    if (table == "prefix") return "";
    if (table == "root") return " -n";
    return " -T " + std::string(table);
}

std::vector<Override> parse_overrides(std::string_view text) {
    std::vector<Override> out;
    for (source::Binding& b : source::parse(text, "keybindings.conf")) {
        out.emplace_back(Bind{std::move(b.table), std::move(b.key), std::move(b.command)});
    }
    for (std::string_view line : split_at_line_feeds(text))
        if (auto unbind = read_unbind(line)) out.emplace_back(std::move(*unbind));
    return out;
}

std::vector<Override> load(const std::filesystem::path& path) {
    std::optional<std::string> text = read_text_if_any(path);
    if (!text) return {};
    return parse_overrides(*text);
}

std::vector<Resolved> resolve(const std::vector<source::Binding>& bindings,
                              const std::vector<Override>& overrides) {
    std::vector<Resolved> resolved;
    resolved.reserve(bindings.size());
    for (const source::Binding& b : bindings) resolved.push_back(Resolved{b, b.key});

    // Collapsed once: every Bind compares its command with all of them.
    std::vector<std::string> commands;
    commands.reserve(bindings.size());
    for (const source::Binding& b : bindings) commands.push_back(collapse_blanks(b.command));
    std::vector<std::string> unquoted;  // made when an override needs them

    for (const Override& o : overrides) {
        if (const auto* unbind = std::get_if<Unbind>(&o)) {
            for (Resolved& r : resolved) {
                if (r.binding.table == unbind->table && r.binding.key == unbind->key) {
                    r.current_key.reset();
                    break;
                }
            }
        } else {
            const auto& bind = std::get<Bind>(o);
            std::string command = collapse_blanks(bind.command);
            auto match = [&](const std::vector<std::string>& forms, const std::string& wanted) {
                for (std::size_t i = 0; i < resolved.size(); ++i) {
                    if (resolved[i].binding.table == bind.table && forms[i] == wanted) {
                        resolved[i].current_key = bind.key;
                        return true;
                    }
                }
                return false;
            };
            if (match(commands, command)) continue;
            // A line written for an earlier wording of the same command.
            if (unquoted.empty()) {
                unquoted.reserve(bindings.size());
                for (const source::Binding& b : bindings) unquoted.push_back(unquoted_form(b.command));
            }
            match(unquoted, unquoted_form(bind.command));
        }
    }
    return resolved;
}

std::string render(const std::vector<SaveEntry>& entries) {
    std::string text(kHeader);
    for (const SaveEntry& e : entries) {
        if (e.current_key == e.default_key && e.table == e.default_table) continue;
        text += "\n# " + e.description + "\n";
        if (!e.current_key) {
            text += "unbind" + table_option(e.default_table) + " " + keys::quote_key(e.default_key) + "\n";
        } else {
            text += "bind-key" + table_option(e.table) + " " + keys::quote_key(*e.current_key) + " " +
                    e.command + "\n";
        }
    }
    return text;
}

void save(const std::filesystem::path& path, const std::vector<SaveEntry>& entries) {
    // Lines of the old file that the entries do not stand for (written by hand) are carried over.
    write_file_atomically(path, render(entries) + kept_lines_of_file(path, entries), Links::Followed);
}

}  // namespace vesk::keybind::overrides
