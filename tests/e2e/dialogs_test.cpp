#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fmt/format.h>

#include "e2e/run_orvo.hpp"
#include "support/git_repo.hpp"
#include "support/temp_dir.hpp"
#include "support/tmux.hpp"

namespace orvo::test {
namespace {

// The dialogs driven through the built binary under tmux: a repository "proj" registered by the
// start-up argument, and a search path that puts a recording fake `osascript` and a fake agent
// `pi` (it records where it ran and ends with status 3) in front of the real programs.
class DialogE2eTest : public testing::Test {
 protected:
  DialogE2eTest() : repo_(tmp_ / "proj") {
    std::filesystem::create_directories(home());
    std::filesystem::create_directories(calls());
    write_file(bin() / "osascript",
               fmt::format("#!/bin/sh\n"
                           "f='{}'/$$\n"
                           "printf '%s\\0' \"$@\" > \"$f.part\" && mv \"$f.part\" \"$f.call\"\n",
                           calls().string()),
               true);
    write_file(bin() / "pi",
               fmt::format("#!/bin/sh\n"
                           "printf '%s\\n' \"$PWD\" \"$ORVO_WORKTREE\" \"$#\" > '{}'\n"
                           "exit 3\n",
                           pi_record().string()),
               true);
  }

  // Starts orvo on `repo_` and waits for its project row.
  void start(std::uint16_t width = 100) {
    TmuxOptions options;
    options.width = width;
    options.height = 30;
    options.home = home();
    options.env = {{"PATH", search_path_with(bin())}};
    tui_ =
        std::make_unique<Tmux>(std::vector<std::string>{ORVO_EXE, repo_.path().string()}, options);
    ASSERT_TRUE(tui_->wait_for_text("▼ proj")) << tui_->capture();
  }

  void expect_text(std::string_view text) {
    EXPECT_TRUE(tui_->wait_for_text(text)) << "waiting for " << text << " on\n" << tui_->capture();
  }

  // The row of `screen` with the list cursor.
  [[nodiscard]] static std::string cursor_row(const std::string& screen) {
    std::istringstream rows(screen);
    std::string row;
    while (std::getline(rows, row)) {
      if (row.find("› ") != std::string::npos) {
        return row;
      }
    }
    return "";
  }

  void quit() {
    tui_->send_keys({"q"});
    EXPECT_EQ(tui_->wait_for_exit(), 0) << tui_->capture();
  }

  // The argument lists of the osascript calls, waiting up to ten seconds for the first.
  [[nodiscard]] std::vector<std::vector<std::string>> osascript_calls() const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::vector<std::vector<std::string>> out;
    while (out.empty() && std::chrono::steady_clock::now() < deadline) {
      for (const auto& entry : std::filesystem::directory_iterator(calls())) {
        if (entry.path().extension() != ".call") {
          continue;
        }
        std::vector<std::string> args;
        std::istringstream text(read_file(entry.path()));
        for (std::string arg; std::getline(text, arg, '\0');) {
          args.push_back(arg);
        }
        out.push_back(args);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return out;
  }

  [[nodiscard]] std::string branch_of(const std::filesystem::path& worktree) const {
    return repo_.git({"-C", worktree.string(), "symbolic-ref", "--short", "HEAD"});
  }

  [[nodiscard]] std::filesystem::path home() const { return tmp_ / "home"; }
  [[nodiscard]] std::filesystem::path bin() const { return tmp_ / "bin"; }
  [[nodiscard]] std::filesystem::path calls() const { return tmp_ / "osascript-calls"; }
  [[nodiscard]] std::filesystem::path pi_record() const { return tmp_ / "pi-ran"; }
  // Where the default template puts a worktree of "proj" for `branch`.
  [[nodiscard]] std::filesystem::path placed(const std::string& branch) const {
    return tmp_ / "worktrees" / "proj" / branch;
  }

  TempDir tmp_;
  GitRepo repo_;
  std::unique_ptr<Tmux> tui_;
};

TEST_F(DialogE2eTest, ControlPCreatesTheWorktreeWithTheCursorOnIt) {
  start();
  tui_->send_keys({"n"});
  expect_text(" New Worktree ");
  tui_->send_text("feat");
  tui_->send_keys({"C-p"});

  expect_text("created feat ← main");
  EXPECT_TRUE(std::filesystem::is_directory(placed("feat")));
  EXPECT_EQ(branch_of(placed("feat")), "feat\n");
  EXPECT_NE(cursor_row(tui_->capture()).find("[feat]"), std::string::npos) << tui_->capture();
  EXPECT_FALSE(std::filesystem::exists(pi_record()));
  quit();
}

TEST_F(DialogE2eTest, EnterOpensATerminalWindowAndRunsTheAgentInTheForeground) {
  start();
  tui_->send_keys({"n"});
  expect_text(" New Worktree ");
  tui_->send_text("feat");
  tui_->send_keys({"Enter"});

  expect_text("Pi exited (exit status: 3)");
  const std::filesystem::path wt = placed("feat");
  EXPECT_EQ(read_file(pi_record()), fmt::format("{0}\n{0}\n0\n", wt.string()));
  EXPECT_EQ(osascript_calls(),
            (std::vector<std::vector<std::string>>{
                {"-e", fmt::format("tell application \"Terminal\" to do script \"cd '{}' && 'pi'\"",
                                   wt.string())}}));
  EXPECT_NE(cursor_row(tui_->capture()).find("[feat]"), std::string::npos) << tui_->capture();
  quit();
}

TEST_F(DialogE2eTest, AFailedCreateShowsGitsReason) {
  start(160);
  tui_->send_keys({"n"});
  expect_text(" New Worktree ");
  tui_->send_text("feat");
  tui_->send_keys({"Tab", "BSpace", "BSpace", "BSpace", "BSpace"});
  tui_->send_text("nope");
  expect_text("base: nope");
  tui_->send_keys({"C-p"});

  // git 2.39 refuses an unknown base with status 255; the status line shows the first line.
  expect_text("ctx " + repo_.path().string() +
              "  ·  create failed: git failed (255): fatal: not a valid object name: 'nope'\n");
  EXPECT_FALSE(std::filesystem::exists(placed("feat")));
  quit();
}

TEST_F(DialogE2eTest, BranchPickerPutsTheChosenBranchIntoTheBase) {
  repo_.add_branch("release");
  start();
  tui_->send_keys({"n"});
  expect_text(" New Worktree ");
  tui_->send_text("fix");
  tui_->send_keys({"C-b"});
  expect_text(" Pick Base Branch ");
  tui_->send_text("rel");
  expect_text("› release");
  tui_->send_keys({"Enter"});
  expect_text("base: release");
  tui_->send_keys({"C-p"});

  expect_text("created fix ← release");
  EXPECT_EQ(branch_of(placed("fix")), "fix\n");
  quit();
}

TEST_F(DialogE2eTest, QuickBaseIsSavedToTheStateFile) {
  start();
  tui_->send_keys({"b"});
  expect_text("quick base: main");
  tui_->send_keys({"BSpace", "BSpace", "BSpace", "BSpace"});
  tui_->send_text("develop");
  tui_->send_keys({"Enter"});

  expect_text("quick base saved");
  expect_text("▼ proj  develop");
  EXPECT_NE(read_file(state_file(home())).find("\"quick_base\": \"develop\""), std::string::npos)
      << read_file(state_file(home()));
  quit();
}

TEST_F(DialogE2eTest, AddProjectWithANonRepositoryKeepsTheDialog) {
  const std::filesystem::path plain = tmp_ / "plain";
  std::filesystem::create_directories(plain);
  start();
  tui_->send_keys({"a"});
  expect_text(" Add Project ");
  tui_->send_text(plain.string());
  tui_->send_keys({"Enter"});

  expect_text("add failed: git failed (128): fatal: not a git repository");
  const std::string screen = tui_->capture();
  EXPECT_NE(screen.find(" Add Project "), std::string::npos) << screen;
  EXPECT_NE(screen.find(plain.string() + "▋"), std::string::npos) << screen;
  tui_->send_keys({"Escape"});
  EXPECT_TRUE(tui_->wait_until(
      [](const std::string& s) { return s.find(" Add Project ") == std::string::npos; }));
  quit();
}

TEST_F(DialogE2eTest, ConfirmDeleteRemovesTheWorktreeFromDisk) {
  const std::filesystem::path old = tmp_ / "wt" / "old";
  repo_.add_worktree(old, "old");
  start();
  tui_->send_keys({"j"});
  EXPECT_TRUE(tui_->wait_until([](const std::string& screen) {
    return cursor_row(screen).find("[old]") != std::string::npos;
  })) << tui_->capture();
  tui_->send_keys({"d"});
  expect_text(" Confirm Delete ");
  tui_->send_keys({"y"});

  expect_text("worktree removed");
  EXPECT_FALSE(std::filesystem::exists(old));
  EXPECT_TRUE(tui_->wait_until([](const std::string& s) {
    return s.find("[old]") == std::string::npos;
  })) << tui_->capture();
  quit();
}

}  // namespace
}  // namespace orvo::test
