// The model's lookups and shell lines, the two text reports byte for byte, the exit rule and the
// popup's size.
#include <gtest/gtest.h>

#include "doctor/app.hpp"
#include "doctor/doctor.hpp"
#include "doctor/report.hpp"

namespace vesk::doctor {
namespace {

Check check(std::string_view group, std::string_view id, Severity severity, std::string summary) {
    return Check{group, id, severity, std::move(summary), std::nullopt, std::nullopt};
}

Report sample() {
    Report r;
    r.checks.push_back(check("system", "tmux", Severity::Ok, "tmux: /usr/bin/tmux (tmux 3.3a)"));
    r.checks.back().detail = "선택된 명령: tmux";
    r.checks.push_back(check("tmux", "@zelt", Severity::Skip, "밖"));
    r.checks.push_back(check("system", "zip", Severity::Warn, "zip 명령을 찾지 못했습니다."));
    r.checks.back().remedy = Remedy{"zip을 설치하십시오.", Action{NoAction{}}};
    r.checks.push_back(check("features", "config-dir", Severity::Error, "say \"hi\"\nnext"));
    r.checks.back().detail = "tab\there\x1b[2J";
    r.checks.back().remedy = Remedy{"만듭니다.", Action{Mkdir{"/tmp/it's a dir"}}};
    return r;
}

TEST(DoctorModel, LookupsAndShellLines) {
    const Report r = sample();
    EXPECT_EQ(r.find("zip")->summary, "zip 명령을 찾지 못했습니다.");
    EXPECT_EQ(r.find("zi"), nullptr);
    EXPECT_EQ(r.groups(), (std::vector<std::string_view>{"system", "tmux", "features"}));
    EXPECT_EQ(r.count(Severity::Warn), 1u);

    EXPECT_EQ(Action{NoAction{}}.line(), std::nullopt);
    // Every path is quoted as the shell needs: a pasted line makes exactly that directory.
    EXPECT_EQ(Action{Mkdir{"/tmp/a b"}}.line(), "mkdir -p '/tmp/a b'");
    EXPECT_EQ(Action{Mkdir{"/tmp/it's"}}.line(), "mkdir -p '/tmp/it'\\''s'");
    EXPECT_EQ(Action{Mkdir{"/home/u/.tidewell"}}.line(), "mkdir -p /home/u/.tidewell");
    EXPECT_EQ(Action{Mkdir{"-x"}}.line(), "mkdir -p ./-x");
    EXPECT_EQ(Action{Recipe::make("/usr/local/bin/vesk", {"setup", "--profile", "linux"})}.line(),
              "/usr/local/bin/vesk setup --profile linux");
    EXPECT_EQ(Action{Recipe::make("/opt/my tools/vesk", {"set", "-g", "@vim_bin", "it's"})}.line(),
              "'/opt/my tools/vesk' set -g @vim_bin 'it'\\''s'");
}

TEST(DoctorReport, JsonAndPlainExactly) {
    const Report r = sample();
    EXPECT_EQ(render_json(r),
              "{\n"
              "  \"summary\": {\n"
              "    \"ok\": 1, \"warn\": 1, \"error\": 1, \"skip\": 1\n"
              "  },\n"
              "  \"checks\": [\n"
              "    {\"group\":\"system\",\"id\":\"tmux\",\"severity\":\"ok\",\"summary\":\"tmux: /usr/bin/tmux (tmux "
              "3.3a)\",\"detail\":\"선택된 명령: tmux\"},\n"
              "    {\"group\":\"tmux\",\"id\":\"@zelt\",\"severity\":\"skip\",\"summary\":\"밖\"},\n"
              "    {\"group\":\"system\",\"id\":\"zip\",\"severity\":\"warn\",\"summary\":\"zip 명령을 찾지 "
              "못했습니다.\",\"remedy\":\"zip을 설치하십시오.\"},\n"
              "    {\"group\":\"features\",\"id\":\"config-dir\",\"severity\":\"error\",\"summary\":\"say "
              "\\\"hi\\\"\\nnext\",\"detail\":\"tab\\there\\u001b[2J\",\"remedy\":\"만듭니다.\",\"command\":\"mkdir -p "
              "'/tmp/it'\\\\''s a dir'\"}\n"
              "  ]\n"
              "}\n");
    // Plain text keeps quotes and Korean as they are, but no control character reaches the terminal.
    const std::string body =
        "\n[system]\n"
        "  [   OK] tmux: tmux: /usr/bin/tmux (tmux 3.3a)\n"
        "        detail: 선택된 명령: tmux\n"
        "  [ WARN] zip: zip 명령을 찾지 못했습니다.\n"
        "        remedy: zip을 설치하십시오.\n"
        "\n[tmux]\n"
        "  [ SKIP] @zelt: 밖\n"
        "\n[features]\n"
        "  [ERROR] config-dir: say \"hi\"\\nnext\n"
        "        detail: tab\\there\\u001b[2J\n"
        "        remedy: 만듭니다.\n"
        "        command: mkdir -p '/tmp/it'\\''s a dir'\n";
    const std::string head = "vesk doctor\nsummary: 1 ok, 1 warn, 1 error, 1 skip\n";
    EXPECT_EQ(render_plain(r, false), head + body);
    EXPECT_EQ(render_plain(r, true), head + "strict: warnings fail the check\n" + body);
    EXPECT_EQ(render_json(Report{}), "{\n  \"summary\": {\n    \"ok\": 0, \"warn\": 0, \"error\": 0, \"skip\": 0\n"
                                     "  },\n  \"checks\": [\n  ]\n}\n");
}

TEST(DoctorReport, ExitRuleWidthAndPopupSize) {
    Report r;
    r.checks = {check("system", "a", Severity::Ok, "x"), check("tmux", "b", Severity::Skip, "y")};
    EXPECT_EQ(report_status(r, true), 0);
    r.checks.push_back(check("system", "c", Severity::Warn, "z"));
    EXPECT_EQ(report_status(r, false), 0);
    EXPECT_EQ(report_status(r, true), 1);
    r.checks.push_back(check("system", "d", Severity::Error, "z"));
    EXPECT_EQ(report_status(r, false), 1);

    EXPECT_EQ(natural_width(Report{}), 53u);
    EXPECT_EQ(natural_width(r), 14u + 16u + 23u);
    r.checks.push_back(check("install", "lib/general-index-aligner.vim", Severity::Ok, "한글 요약은 두 칸씩 셉니다"));
    EXPECT_EQ(natural_width(r), 29u + 26u + 23u);

    EXPECT_EQ(doctor_popup_geometry(200, 50, 90), (PopupGeometry{90, 25, 55, 12}));
    EXPECT_EQ(doctor_popup_geometry(60, 15, 90), (PopupGeometry{46, 10, 7, 2}));
    EXPECT_EQ(doctor_popup_geometry(80, 24, 53), (PopupGeometry{53, 12, 13, 6}));
    EXPECT_EQ(doctor_popup_geometry(0, -3, 10), (PopupGeometry{1, 1, 0, 0}));
}

}  // namespace
}  // namespace vesk::doctor
