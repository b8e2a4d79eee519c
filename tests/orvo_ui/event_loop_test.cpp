// The event loop, the agent shell with its banner and the editor over a terminal session on a
// pseudo-terminal.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "orvo_runtime/app.hpp"
#include "orvo_store/store.hpp"
#include "orvo_ui/run_tui.hpp"
#include "orvo_ui/terminal_fixture.hpp"
#include "support/temp_dir.hpp"

namespace orvo::ui {
namespace {

using namespace std::chrono_literals;

// The event loop, the agent shell and the editor over the session, with an interface over a
// runtime whose state file names `pi_bin` as the agent program and `editor` as the editor.
class EventLoopTest : public TerminalTest {
 protected:
  UiApp make_app(const std::string& pi_bin = "pi", const std::string& editor = "true") {
    const std::filesystem::path state = tmp_ / "state.json";
    test::write_file(state, R"({"projects":[],"prefs":{"editor_cmd":")" + editor +
                                R"(","pi_bin":")" + pi_bin +
                                R"(","pi_extra_args":[],"default_start_pi_on_create":true}})");
    auto store = store::Store::open_at(state);
    EXPECT_TRUE(store) << store.error().message();
    UiApp app(std::make_shared<runtime::Runtime>(std::move(*store)));
    app.reload_from_runtime();
    return app;
  }

  // One turn that must go on.
  static void turn_on(EventLoop& loop) {
    auto more = loop.turn();
    ASSERT_TRUE(more) << more.error().message();
    EXPECT_TRUE(*more);
  }

  test::TempDir tmp_;
};

TEST_F(EventLoopTest, StatusMessageExpiresOnlyWhenAWaitTimesOutAfterItsDeadline) {
  UiApp app = make_app();
  EventLoop loop(*session_, app);
  app.show_toast("refreshed", std::chrono::steady_clock::now() - kToastDuration - 1s);
  pty_.type("j");
  turn_on(loop);
  EXPECT_EQ(app.toast, "refreshed") << "a key arrived, so no time-out expired the message";
  turn_on(loop);
  EXPECT_EQ(app.toast, "");
  EXPECT_FALSE(app.toast_until.has_value());

  app.show_toast("selected feat");
  turn_on(loop);
  EXPECT_EQ(app.toast, "selected feat") << "its five seconds have not passed";
}

TEST_F(EventLoopTest, ReloadFollowsTheFrameThatStillShowsTheOldList) {
  UiApp app = make_app();
  core::ProjectSnapshot stale;
  stale.project.name = "stale-project";
  core::RuntimeSnapshot snapshot;
  snapshot.projects.push_back(stale);
  app.reload_from_snapshot(snapshot);
  app.needs_reload = true;
  EventLoop loop(*session_, app);
  turn_on(loop);
  EXPECT_NE(pty_.take_output().find("stale-project"), std::string::npos);
  EXPECT_TRUE(app.projects.empty()) << "rebuilt from the runtime after that frame";
  EXPECT_FALSE(app.needs_reload);
}

TEST_F(EventLoopTest, QuitEndsTheLoop) {
  UiApp app = make_app();
  EventLoop loop(*session_, app);
  pty_.type("q");
  auto more = loop.turn();
  ASSERT_TRUE(more) << more.error().message();
  EXPECT_FALSE(*more);
  EXPECT_TRUE(app.quit);
}

TEST_F(EventLoopTest, AgentShellReportsTheAgentsEndForFiveSecondsFromThatEnd) {
  const std::filesystem::path agent = tmp_ / "agent";
  test::write_file(agent, "#!/bin/sh\nsleep 0.3\nexit 3\n", true);
  UiApp app = make_app(agent.string());
  const auto before = std::chrono::steady_clock::now();
  ASSERT_TRUE(run_agent_in_foreground(*session_, app, tmp_.path()));
  EXPECT_EQ(app.toast, "Pi exited (exit status: 3)");
  ASSERT_TRUE(app.toast_until.has_value());
  EXPECT_GE(*app.toast_until, before + 300ms + kToastDuration);
  EXPECT_TRUE(app.needs_reload);
  EXPECT_TRUE(session_->draw(text_frame(session_->size(), "back"))) << "full screen again";
}

TEST_F(EventLoopTest, TheEditorGetsTheTerminalUntilItEnds) {
  // The editor reads one line from its input and records it with its argument; what is typed
  // after that line is meant for it too, and never reaches the interface.
  const std::filesystem::path editor = tmp_ / "editor";
  const std::filesystem::path started = tmp_ / "started";
  test::write_file(editor,
                   "#!/bin/sh\ntouch '" + started.string() + "'\nread -r line\n" +
                       "printf '%s|%s' \"$line\" \"$1\" > '" + (tmp_ / "record").string() + "'\n",
                   true);
  struct Case {
    const char* name;
    std::string editor;
    std::string toast;
    std::string record;
  } const cases[] = {
      {"an editor that runs", editor.string(), "opened editor", "typed|" + tmp_.path().string()},
      {"an editor that cannot start", "no-such-editor", "editor: spawn editor no-such-editor", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(tmp_ / "record");
    UiApp app = make_app("pi", c.editor);
    std::thread typist;
    if (!c.record.empty()) {
      typist = std::thread([&] {
        for (int i = 0; i < 500 && !std::filesystem::exists(started); ++i) {
          std::this_thread::sleep_for(10ms);
        }
        pty_.type("typed\rdy");
      });
    }
    const auto opened = run_editor_in_foreground(*session_, app, tmp_.path());
    if (typist.joinable()) {
      typist.join();
    }
    ASSERT_TRUE(opened) << opened.error().message();
    EXPECT_EQ(app.toast, c.toast);
    EXPECT_EQ(test::read_file(tmp_ / "record"), c.record);
    EXPECT_FALSE(app.needs_reload);
    pty_.take_output();
    ASSERT_TRUE(session_->draw(text_frame(session_->size(), "list of worktrees")));
    EXPECT_NE(pty_.take_output().find("list of worktrees"), std::string::npos) << "full repaint";
    expect_no_stale_input();
  }
}

TEST(AgentBanner, NamesTheDirectoryBetweenEmDashes) {
  EXPECT_EQ(agent_banner("/w/feat"), "\n\u2014\u2014 Orvo \u00b7 Pi @ /w/feat \u2014\u2014\n\n");
  EXPECT_EQ(agent_banner("/w/\xff"), "\n\u2014\u2014 Orvo \u00b7 Pi @ /w/\uFFFD \u2014\u2014\n\n");
}

}  // namespace
}  // namespace orvo::ui
