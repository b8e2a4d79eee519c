#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "support/runtime_fixture.hpp"

namespace orvo::runtime {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// The arguments osascript gets for a start in `worktree` with the agent program `pi_bin`.
std::vector<std::string> osascript_args(const std::string& pi_bin,
                                        const std::filesystem::path& worktree) {
  Sandbox s;
  s.install_fake_osascript();
  s.write_prefs("vi", pi_bin);
  const test::GitRepo repo(s.tmp / "proj");
  const core::ProjectId id = s.add(repo);
  EXPECT_TRUE(s.rt().handle(StartPi{worktree, id}));
  const auto calls = s.osascript_calls(1);
  return calls.empty() ? std::vector<std::string>{} : calls[0];
}

TEST(StartPiScript, TellsTerminalToChangeIntoTheWorktreeAndRunTheProgram) {
  struct Case {
    const char* name;
    std::string pi_bin;
    std::string worktree;
    std::string script;
  };
  const Case cases[] = {
      {"plain", "pi", "/tmp/wt/feat-x",
       R"(tell application "Terminal" to do script "cd '/tmp/wt/feat-x' && 'pi'")"},
      {"apostrophe in the path", "pi", "/tmp/wt/it's",
       R"(tell application "Terminal" to do script "cd '/tmp/wt/it'\\''s' && 'pi'")"},
      {"double quote in the path", "pi", R"(/tmp/wt/say "hi")",
       R"(tell application "Terminal" to do script "cd '/tmp/wt/say \"hi\"' && 'pi'")"},
      {"backslash in the path", "pi", R"(/tmp/wt/a\b)",
       R"(tell application "Terminal" to do script "cd '/tmp/wt/a\\b' && 'pi'")"},
      {"program with options", "pi --model fast", "/tmp/wt/x",
       R"(tell application "Terminal" to do script "cd '/tmp/wt/x' && 'pi --model fast'")"},
      {"program ending the string", R"(pi" & (do shell script "id") & ")", "/tmp/wt/x",
       R"(tell application "Terminal" to do script "cd '/tmp/wt/x' && )"
       R"('pi\" & (do shell script \"id\") & \"'")"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_THAT(osascript_args(c.pi_bin, c.worktree), ElementsAre("-e", c.script));
  }
}

TEST(ShellEscape, QuotesTheTextAsOneShellWord) {
  struct Case {
    std::string_view in;
    std::string_view out;
  };
  const Case cases[] = {
      {"", "''"},
      {"it's", R"('it'\''s')"},
      {"a b", "'a b'"},
      {R"(say "hi")", R"('say "hi"')"},
      {R"(back\slash $HOME)", R"('back\slash $HOME')"},
      {"line\nbreak", "'line\nbreak'"},
      {"''", R"(''\'''\''')"},
      {"caf\u00e9 \u2019", "'caf\u00e9 \u2019'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(shell_escape(c.in), c.out);
  }
}

TEST_F(RuntimeTest, StartPiRecordsASessionAndBroadcastsIt) {
  install_fake_osascript();
  write_prefs("vi", "other-agent");
  test::GitRepo repo(tmp / "proj");
  const core::ProjectId id = add(repo);
  const core::UtcTime before = core::utc_now();

  ASSERT_TRUE(rt().handle(StartPi{repo.path(), id}));
  const std::vector<core::Event> sent = raw_events();
  ASSERT_EQ(sent.size(), 2U);
  const core::TermSession& session = std::get<core::SessionUpdated>(sent[0]).session;
  EXPECT_EQ(session.worktree_path, repo.path());
  EXPECT_EQ(session.kind, "pi");
  EXPECT_EQ(session.status, core::kSessionRecorded);
  EXPECT_EQ(session.project_id, id);
  EXPECT_GE(session.started_at, before);
  EXPECT_EQ(session.updated_at, session.started_at);
  const core::RuntimeSnapshot& snap = std::get<core::ProjectsChanged>(sent[1]).snapshot;
  ASSERT_EQ(snap.projects.at(0).sessions.size(), 1U);
  EXPECT_EQ(snap.projects[0].sessions[0].id, session.id);
  EXPECT_EQ(osascript_calls(1).size(), 1U);
}

TEST_F(RuntimeTest, StartingTwiceAsksForTwoWindowsAndRecordsTwoSessions) {
  install_fake_osascript();
  test::GitRepo repo(tmp / "proj");
  const core::ProjectId id = add(repo);
  ASSERT_TRUE(rt().handle(StartPi{repo.path(), id}));
  ASSERT_TRUE(rt().handle(StartPi{repo.path(), id}));

  EXPECT_THAT(events(), ElementsAre("SessionUpdated", "ProjectsChanged", "SessionUpdated",
                                    "ProjectsChanged"));
  EXPECT_EQ(osascript_calls(2).size(), 2U);
  const std::vector<core::TermSession> sessions = project(id).sessions;
  ASSERT_EQ(sessions.size(), 2U);
  EXPECT_NE(sessions[0].id, sessions[1].id);
  EXPECT_LE(sessions[0].started_at, sessions[1].started_at);
}

TEST_F(RuntimeTest, StartPiWithoutOsascriptStillRecordsTheSession) {
  test::GitRepo repo(tmp / "proj");
  const core::ProjectId id = add(repo);
  ASSERT_TRUE(rt().handle(StartPi{tmp / "no such worktree", id}));
  EXPECT_THAT(events(), ElementsAre("SessionUpdated", "ProjectsChanged"));
  const std::vector<core::TermSession> sessions = project(id).sessions;
  ASSERT_EQ(sessions.size(), 1U);
  EXPECT_EQ(sessions[0].status, core::kSessionRecorded);
  EXPECT_EQ(sessions[0].worktree_path, tmp / "no such worktree");
}

TEST_F(RuntimeTest, StartPiForAnUnknownProjectDoesNothing) {
  install_fake_osascript();
  test::GitRepo repo(tmp / "proj");
  const core::ProjectId id = add(repo);
  const auto started = rt().handle(StartPi{repo.path(), core::ProjectId::create()});
  ASSERT_FALSE(started);
  EXPECT_EQ(started.error().message(), "project not found");
  EXPECT_THAT(events(), IsEmpty());
  EXPECT_THAT(project(id).sessions, IsEmpty());
  EXPECT_EQ(osascript_calls_before_marker(id), 0U);
}

TEST_F(RuntimeTest, WhatOsascriptWritesReachesOnlyTheWindowMessage) {
  // Terminal's answer on standard output, an error on standard error, and which of its input and
  // output are the null device (/dev/fd/N names the open file, so -ef compares it with the
  // device; that -ef sees it so on macOS too only a Mac can confirm).
  test::write_file(
      bin / "osascript",
      "#!/bin/sh\n"
      "t=; [ /dev/fd/0 -ef /dev/null ] && t=in; [ /dev/fd/1 -ef /dev/null ] && t=$t-out\n"
      "echo \"$t\" > '" +
          (tmp / "streams").string() +
          "'\n"
          "echo 'tab 1 of window id 4242'\n"
          "echo 'first line' >&2\n"
          "echo 'execution error: Not authorized (-1743)' >&2\n",
      true);
  test::GitRepo repo(tmp / "proj");
  const core::ProjectId id = add(repo);
  EXPECT_EQ(rt().take_window_message(), std::nullopt);
  ASSERT_TRUE(rt().handle(StartPi{repo.path(), id}));

  std::optional<std::string> message;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!message && std::chrono::steady_clock::now() < deadline) {
    message = rt().take_window_message();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(message, "execution error: Not authorized (-1743)");
  EXPECT_EQ(test::read_file(tmp / "streams"), "in-out\n");
  EXPECT_EQ(rt().take_window_message(), std::nullopt);
}

}  // namespace
}  // namespace orvo::runtime
