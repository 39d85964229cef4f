// What the plugin screen does outside itself: plugins.conf after a switch, plugin-manager jobs
// started and polled, removals, and a fresh look at the plugins directory. Every failure ends up
// on the status line; the screen goes on.
#include <algorithm>

#include "core/error.hpp"
#include "plugin/app.hpp"
#include "plugin/overrides.hpp"
#include "plugin/source.hpp"

namespace vesk::plugin::app {

namespace {

const char* const kNoPluginsDir = "플러그인을 둘 자리를 찾지 못했습니다";

void save(App& app, std::size_t switched) {
    try {
        overrides::save(app.config_path, app.catalog);
        app.status.reset();
    } catch (const std::exception& e) {
        // The list shows what plugins.conf still says, which is what the next rebuild reads.
        if (switched < app.catalog.size()) app.catalog = app.catalog.toggle(switched);
        app.status = "저장하지 못했습니다: " + error_one_line(e);
    }
}

void start_job(App& app, std::size_t entry, JobKind kind, const std::optional<std::filesystem::path>& dir) {
    if (entry >= app.catalog.size()) return;
    if (!dir) {
        app.status = kNoPluginsDir;
        return;
    }
    const std::string repo = app.catalog.entries()[entry].declaration.repo;
    try {
        tpm::Job job = kind == JobKind::Fetch ? tpm::fetch(*dir, repo) : tpm::update(*dir, repo);
        app.jobs.push_back(RunningJob{repo, kind, std::move(job)});
        app.catalog = app.catalog.mark(entry, kind == JobKind::Fetch ? model::JobMark::Fetching
                                                                     : model::JobMark::Updating);
    } catch (const std::exception& e) {
        app.status = error_one_line(e);
    }
}

void remove(App& app, std::size_t entry, const std::optional<std::filesystem::path>& dir) {
    if (entry >= app.catalog.size()) return;
    if (!dir) {
        app.status = kNoPluginsDir;
        return;
    }
    try {
        tpm::remove(*dir, app.catalog.entries()[entry].declaration.name);
        app.status.reset();
        reread(app, dir);
    } catch (const std::exception& e) {
        app.status = error_one_line(e);
    }
}

}  // namespace

void reread(App& app, const std::optional<std::filesystem::path>& plugins_dir) {
    if (!plugins_dir) return;
    app.catalog = app.catalog.refresh(source::installed(*plugins_dir));
}

void carry_out(App& app, const Effect& effect, const std::optional<std::filesystem::path>& plugins_dir) {
    if (const auto* switched = std::get_if<Save>(&effect)) save(app, switched->entry);
    else if (const auto* fetch = std::get_if<Fetch>(&effect)) start_job(app, fetch->entry, JobKind::Fetch, plugins_dir);
    else if (const auto* update = std::get_if<Update>(&effect)) start_job(app, update->entry, JobKind::Update, plugins_dir);
    else if (const auto* removal = std::get_if<Remove>(&effect)) remove(app, removal->entry, plugins_dir);
    else if (std::holds_alternative<Reread>(effect)) reread(app, plugins_dir);
}

bool poll_jobs(App& app, const std::optional<std::filesystem::path>& plugins_dir) {
    struct Ended {
        std::string repo;
        JobKind kind;
        std::optional<std::string> failure;
    };
    std::vector<Ended> ended;
    for (auto it = app.jobs.begin(); it != app.jobs.end();) {
        std::optional<std::string> failure;
        try {
            if (!it->job.finished()) {
                ++it;
                continue;
            }
        } catch (const std::exception& e) {
            failure = error_one_line(e);
        }
        ended.push_back({it->repo, it->kind, std::move(failure)});
        it = app.jobs.erase(it);
    }
    if (ended.empty()) return false;

    reread(app, plugins_dir);
    for (const Ended& job : ended) {
        // Every entry declaring this repository carries the mark of the one job that ran for it.
        bool installed = false;
        for (std::size_t i = 0; i < app.catalog.size(); ++i) {
            if (app.catalog.entries()[i].declaration.repo != job.repo) continue;
            app.catalog = app.catalog.clear(i);
            installed = installed || app.catalog.entries()[i].installed;
        }
        if (job.failure) app.status = job.failure;
        else if (job.kind == JobKind::Fetch && !installed) app.status = "받아오지 못했습니다: " + job.repo;
    }
    return true;
}

}  // namespace vesk::plugin::app
