#include "rebuild/run.hpp"

#include "config/config.hpp"
#include "core/files.hpp"
#include "core/text.hpp"
#include "plugin/overrides.hpp"
#include "rebuild/bindings.hpp"
#include "rebuild/check.hpp"

namespace vesk::rebuild {

std::vector<Section> build_sections(const Places& places, RebuildProfile profile) {
    const auto resolved = resolved_bindings(places, profile);
    std::vector<plugin::overrides::Change> changes;
    if (auto path = plugin::overrides::default_path()) changes = plugin::overrides::load(*path);

    std::vector<Section> sections;
    sections.push_back({"vesk:zelt", zelt_line(places.root)});
    for (const auto& fragment : fragment_order(profile)) {
        std::string text = places.defaults.asset("confs/" + fragment);
        text = apply_key_overrides(text, fragment, resolved);
        text = apply_plugin_overrides(text, fragment, changes);
        sections.push_back({"confs/" + fragment, std::move(text)});
        // The label names the usual place, whatever XDG_CONFIG_HOME says: it is what users know.
        std::string user = config::user_fragment(fragment);
        if (!is_blank(user)) sections.push_back({"~/.config/vesk/confs/" + fragment, std::move(user)});
    }
    sections.push_back({"vesk:postlude", "run-shell -b \"#{@zelt}/bin/vesk config apply-keybindings\"\n"});
    return sections;
}

std::filesystem::path run(const Places& places, RebuildProfile profile, bool check) {
    const std::string template_text = places.defaults.asset(".tmux.conf.local");
    const std::string output = render_output(template_text, build_sections(places, profile));
    if (check) check_with_tmux(output);
    write_file_atomically(places.output, output);
    return places.output;
}

}  // namespace vesk::rebuild
