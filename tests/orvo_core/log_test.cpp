#include "orvo_core/log.hpp"

#include <gtest/gtest.h>

#include <regex>

#include "support/stderr_capture.hpp"
#include "support/temp_dir.hpp"

namespace orvo::core::log {
namespace {

std::chrono::sys_time<std::chrono::nanoseconds> fixed_time() {
  using namespace std::chrono;
  return sys_days{2026y / January / 2} + 3h + 4min + 5s + 123456789ns;
}

TEST(FormatLine, LaysOutPlainLines) {
  const std::vector<Field> fields = {{"name", "proj"}, {"path", "/u/src/proj"}};
  EXPECT_EQ(format_line(fixed_time(), Level::Info, "orvo_store", "add project", fields, false),
            "2026-01-02T03:04:05.123456Z  INFO orvo_store: add project name=proj "
            "path=/u/src/proj\n");

  struct Case {
    Level level;
    std::string_view text;
  };
  const Case cases[] = {
      {Level::Error, "ERROR"}, {Level::Warn, " WARN"},  {Level::Info, " INFO"},
      {Level::Debug, "DEBUG"}, {Level::Trace, "TRACE"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(
        format_line(fixed_time(), c.level, "orvo_ui::app", "create worktree", {}, false),
        "2026-01-02T03:04:05.123456Z " + std::string(c.text) + " orvo_ui::app: create worktree\n");
  }
}

TEST(FormatLine, LaysOutColouredLines) {
  const std::vector<Field> fields = {{"name", "proj"}, {"path", "/u/src/proj"}};
  EXPECT_EQ(format_line(fixed_time(), Level::Info, "orvo_store", "add project", fields, true),
            "\x1b[2m2026-01-02T03:04:05.123456Z\x1b[0m \x1b[32m INFO\x1b[0m "
            "\x1b[2morvo_store\x1b[0m\x1b[2m:\x1b[0m add project"
            " \x1b[3mname\x1b[0m\x1b[2m=\x1b[0mproj"
            " \x1b[3mpath\x1b[0m\x1b[2m=\x1b[0m/u/src/proj\n");

  struct Case {
    Level level;
    std::string_view text;
  };
  const Case cases[] = {
      {Level::Error, "\x1b[31mERROR"}, {Level::Warn, "\x1b[33m WARN"},
      {Level::Info, "\x1b[32m INFO"},  {Level::Debug, "\x1b[34mDEBUG"},
      {Level::Trace, "\x1b[35mTRACE"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(format_line(fixed_time(), c.level, "t", "m", {}, true),
              "\x1b[2m2026-01-02T03:04:05.123456Z\x1b[0m " + std::string(c.text) +
                  "\x1b[0m \x1b[2mt\x1b[0m\x1b[2m:\x1b[0m m\n");
  }
}

TEST(FormatLine, EscapesTerminalControlsInTheMessageOnly) {
  const std::vector<Field> fields = {{"error", "a\x1b[31mb"}};
  EXPECT_EQ(
      format_line(fixed_time(), Level::Warn, "orvo_runtime::app",
                  "x\x1b[2Jy\x07\x08\x0c\x7f\xC2\x80\xC2\x9b\xC2\xA0\t\xC3\xA9", fields, false),
      "2026-01-02T03:04:05.123456Z  WARN orvo_runtime::app: "
      "x\\x1b[2Jy\\x07\\x08\\x0c\\x7f\\u{80}\\u{9b}\xC2\xA0\t\xC3\xA9 error=a\x1b[31mb\n");
}

TEST(FormatLine, WritesTheTimeInUtcWithTruncatedMicroseconds) {
  using namespace std::chrono;
  const auto line = [](sys_time<nanoseconds> time) {
    return format_line(time, Level::Info, "t", "m", {}, false).substr(0, 27);
  };
  EXPECT_EQ(line(sys_days{1970y / January / 1}), "1970-01-01T00:00:00.000000Z");
  EXPECT_EQ(line(sys_days{2024y / December / 31} + 23h + 59min + 59s + 999999999ns),
            "2024-12-31T23:59:59.999999Z");
}

TEST(SettingsFromEnv, FollowsRustLogAndNoColor) {
  struct Case {
    const char* name;
    std::optional<std::string> rust_log;
    std::optional<std::string> no_color;
    std::optional<Settings> settings;
  };
  const Case cases[] = {
      {"unset", std::nullopt, "1", std::nullopt},
      {"empty", "", std::nullopt, Settings{"", true}},
      {"not UTF-8", "info\xFF", std::nullopt, Settings{"", true}},
      {"NO_COLOR empty", "info", "", Settings{"info", true}},
      {"NO_COLOR not UTF-8", "info", "\xFF", Settings{"info", true}},
      {"NO_COLOR set", "info", "1", Settings{"info", false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const test::ScopedEnv rust_log("RUST_LOG", c.rust_log);
    const test::ScopedEnv no_color("NO_COLOR", c.no_color);
    EXPECT_EQ(settings_from_env(), c.settings);
  }
}

// Diagnostics stay on once switched on, so this is the one test that switches them on.
TEST(Diagnostics, WriteEnabledEventsToStandardError) {
  const test::ScopedEnv no_color("NO_COLOR", "1");
  test::StderrCapture captured;
  {
    const test::ScopedEnv unset("RUST_LOG", std::nullopt);
    EXPECT_FALSE(init_from_env());
  }
  event(Level::Error, "orvo_store", "dropped before diagnostics are on");
  EXPECT_FALSE(enabled(Level::Error, "orvo_store"));

  const test::ScopedEnv rust_log("RUST_LOG", "=x,orvo_store=info,orvo_runtime=warn");
  EXPECT_TRUE(init_from_env());
  EXPECT_TRUE(enabled(Level::Info, "orvo_store"));
  EXPECT_FALSE(enabled(Level::Debug, "orvo_store"));
  EXPECT_FALSE(enabled(Level::Error, "orvo_ui::app"));
  event(Level::Info, "orvo_store", "add project", {{"name", "p{}"}, {"path", "/u/src/p {}"}});
  event(Level::Debug, "orvo_store", "too verbose");
  event(Level::Info, "orvo_runtime::app", "too verbose");
  event(Level::Warn, "orvo_runtime::app", "refresh on bootstrap failed", {{"error", "git {0}"}});
  event(Level::Error, "orvo_ui::app", "not selected");
  event(Level::Error, "orvo_git", "not selected");

  const std::string text = captured.text();
  const std::string stamp = R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{6}Z)";
  const std::regex expected("ignoring `=x`: invalid filter directive\n" + stamp +
                            R"(  INFO orvo_store: add project name=p\{\} path=/u/src/p \{\}
)" + stamp +
                            R"(  WARN orvo_runtime::app: refresh on bootstrap failed error=git \{0\}
)");
  EXPECT_TRUE(std::regex_match(text, expected)) << text;
}

}  // namespace
}  // namespace orvo::core::log
