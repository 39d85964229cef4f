// The doctor screen's effects: re-reading the report, starting a fix and following it, and the
// screen on the terminal.
#include "doctor/app.hpp"
#include "doctor/checks.hpp"
#include "ui/screen.hpp"

namespace vesk::doctor::app {

namespace {

// The outcome of check `id`'s fix, shown over a fresh report.
void finish(App& app, std::string id, Outcome outcome, const std::function<Report()>& collect) {
    set_report(app, collect());
    const Check* check = app.report.find(id);
    app.mode = Done{std::move(id), std::move(outcome), check ? std::optional(check->severity) : std::nullopt};
}

}  // namespace

void carry_out(App& app, const Effect& effect, const std::function<Report()>& collect) {
    if (std::holds_alternative<Reread>(effect)) {
        set_report(app, collect());
    } else if (const auto* fix = std::get_if<Fix>(&effect)) {
        Started started = start(fix->id, fix->action);
        if (auto* job = std::get_if<std::unique_ptr<Job>>(&started)) {
            app.tick = 0;
            app.mode = Running{fix->id, {}, std::move(*job)};
        } else {
            finish(app, fix->id, std::move(std::get<Outcome>(started)), collect);
        }
    }
}

void poll(App& app, const std::function<Report()>& collect) {
    auto* run = std::get_if<Running>(&app.mode);
    if (!run || !run->job) return;
    ++app.tick;
    std::optional<Outcome> outcome = run->job->finished();
    if (!outcome) {
        run->lines = run->job->tail();
        return;
    }
    // The job goes with the mode: its log is removed, the lines the outcome needs were copied.
    std::string id = std::move(run->id);
    app.mode = List{};
    finish(app, std::move(id), std::move(*outcome), collect);
}

}  // namespace vesk::doctor::app

namespace vesk::doctor {

void run_screen(const config::Places& places) {
    // Leaving while a fix runs drops its job with the state: the log goes, the fix runs on in a
    // session of its own, without the terminal, which it never had open.
    ui::run_full_screen([&](ui::Screen& screen) {
        const auto fresh = [&] { return collect(places); };
        app::App app = app::make_app(fresh());
        const auto on_key = [&](const ui::Key& key) {
            app::Step step = app::handle(std::move(app), key);
            app = std::move(step.app);
            if (std::holds_alternative<app::Quit>(step.effect)) return false;
            app::carry_out(app, step.effect, fresh);
            return true;
        };
        ui::run_list_loop(screen, {.draw = [&](ui::Buffer& buffer) { app::draw(app, buffer); },
                                   .key = on_key,
                                   .busy = [&] { return app::running(app); },
                                   .poll = [&] { app::poll(app, fresh); }});
    });
}

}  // namespace vesk::doctor
