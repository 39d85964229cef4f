#include "rebuild/run.hpp"

#include "core/files.hpp"
#include "core/text.hpp"
#include "plugin/overrides.hpp"
#include "rebuild/check.hpp"

namespace vesk::rebuild {

namespace {

struct Fragment {
    std::string name;
    std::string text;
    std::vector<keybind::source::Binding> bindings;
};

}  // namespace

std::vector<Section> build_sections(const config::Places& places, ConfigProfile profile) {
    // Each fragment is decoded and parsed once and serves both the key-binding pass and its
    // section: every call of vesk is a fresh process, and a rebuild runs on every C-r.
    const Defaults defaults = places.defaults();
    std::vector<Fragment> fragments;
    std::vector<keybind::source::Binding> all_bindings;
    for (auto& name : fragment_order(profile)) {
        Fragment f{name, defaults.asset("confs/" + name), {}};
        f.bindings = keybind::source::parse(f.text, f.name);
        all_bindings.insert(all_bindings.end(), f.bindings.begin(), f.bindings.end());
        fragments.push_back(std::move(f));
    }
    std::vector<keybind::overrides::Override> overrides;
    if (auto path = places.keybindings_conf()) overrides = keybind::overrides::load(*path);
    const auto resolved = keybind::overrides::resolve(all_bindings, overrides);
    std::vector<plugin::overrides::Change> changes;
    if (auto path = places.plugins_conf()) changes = plugin::overrides::load(*path);

    std::vector<Section> sections;
    sections.push_back({"vesk:zelt", zelt_line(places.root)});
    for (const auto& f : fragments) {
        std::string text = apply_key_overrides(f.text, f.bindings, resolved);
        text = apply_plugin_overrides(text, f.name, changes);
        sections.push_back({"confs/" + f.name, std::move(text)});
        // The label names the usual place, whatever XDG_CONFIG_HOME says: it is what users know.
        std::string user = places.user_fragment(f.name);
        if (!is_blank(user)) sections.push_back({"~/.config/vesk/confs/" + f.name, std::move(user)});
    }
    // The root goes to the shell single-quoted (each ' written as '\''): a root holding blanks,
    // quotes, $(...) or ; still runs the program and nothing else.
    sections.push_back({"vesk:postlude", R"(run-shell -b "'#{s/'/'\\\\''/:@zelt}/bin/vesk' config apply-keybindings")" "\n"});
    return sections;
}

void run(const config::Places& places, const std::filesystem::path& output, ConfigProfile profile, bool check) {
    const std::string template_text = places.defaults().asset(".tmux.conf.local");
    const std::string text = render_output(template_text, build_sections(places, profile));
    if (check) check_with_tmux(text);
    write_file_atomically(output, text, Links::Followed);
}

}  // namespace vesk::rebuild
