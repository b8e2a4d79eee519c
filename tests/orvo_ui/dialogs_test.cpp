#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "orvo_core/log.hpp"
#include "orvo_runtime/app.hpp"
#include "orvo_store/store.hpp"
#include "orvo_ui/app.hpp"
#include "orvo_ui/fixtures.hpp"
#include "support/git_repo.hpp"
#include "support/runtime_fixture.hpp"
#include "support/stderr_capture.hpp"

namespace orvo::ui {
namespace {

using Kind = KeyCode::Kind;
using Mod = KeyModifiers;

KeyEvent key(char32_t c, KeyModifiers modifiers = Mod::None) {
  return KeyEvent{KeyCode::character(c), modifiers, KeyKind::Press};
}

KeyEvent key(KeyCode code, KeyModifiers modifiers = Mod::None) {
  return KeyEvent{code, modifiers, KeyKind::Press};
}

// The keys that type `text` (upper-case ASCII letters with Shift, as the terminal reports them).
std::vector<KeyEvent> typing(std::u32string_view text) {
  std::vector<KeyEvent> keys;
  for (const char32_t c : text) {
    keys.push_back(key(c, c >= U'A' && c <= U'Z' ? Mod::Shift : Mod::None));
  }
  return keys;
}

std::vector<KeyEvent> operator+(std::vector<KeyEvent> a, const std::vector<KeyEvent>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::string outcome_text(const core::Result<KeyOutcome>& outcome) {
  if (!outcome) {
    return "error: " + outcome.error().message();
  }
  if (const auto* run = std::get_if<RunForeground>(&*outcome)) {
    return "RunForeground " + run->path.string();
  }
  return std::holds_alternative<Quit>(*outcome) ? "Quit" : "Continue";
}

// A UiApp over a real runtime on a temporary HOME whose search path holds git and a fake
// osascript that records each call's arguments.
class DialogTest : public ::testing::Test, public runtime::Sandbox {
 protected:
  DialogTest() : app(std::shared_ptr<runtime::Runtime>(std::shared_ptr<void>(), &rt())) {
    install_fake_osascript();
  }

  // Registers `repo` and reloads; returns its project.
  core::ProjectId add_project(const orvo::test::GitRepo& repo) {
    const core::ProjectId id = add(repo);
    app.reload_from_runtime();
    return id;
  }

  // Hands `key` to the open dialog as the key router does: the dialog is taken out first.
  [[nodiscard]] core::Result<KeyOutcome> press(const KeyEvent& key) {
    if (!app.modal) {
      ADD_FAILURE() << "no dialog is open for " << key;
      return Continue{};
    }
    Modal modal = std::move(*app.modal);
    app.modal.reset();
    return app.handle_modal_key(std::move(modal), key);
  }

  // Presses every key; returns the last key's outcome.
  [[nodiscard]] core::Result<KeyOutcome> press(const std::vector<KeyEvent>& keys) {
    core::Result<KeyOutcome> outcome = Continue{};
    for (const KeyEvent& k : keys) {
      outcome = press(k);
    }
    return outcome;
  }

  static std::string local_branches(const orvo::test::GitRepo& repo) {
    return repo.git({"for-each-ref", "--format=%(refname:short)", "refs/heads"});
  }

  UiApp app;
};

// A dialog for `id` of the repository "proj", typing in `field`.
NewWorktree new_worktree(const core::ProjectId& id, std::string name = "",
                         std::string base = "origin/main", std::uint8_t field = 0) {
  return NewWorktree{"proj", std::move(name), std::move(base), id, field};
}

TEST_F(DialogTest, NewWorktreeEditsItsFields) {
  struct Case {
    const char* label;
    NewWorktree start;
    std::vector<KeyEvent> keys;
    std::string expected;
  };
  const core::ProjectId id = test::project_id(1);
  const Case cases[] = {
      {"typing goes to the name field", new_worktree(id), typing(U"ab"),
       "NewWorktree proj name=ab base=origin/main field=0"},
      {"Shift with a letter types the upper-case letter",
       new_worktree(id),
       {key(U'F', Mod::Shift)},
       "NewWorktree proj name=F base=origin/main field=0"},
      {"non-ASCII characters are typed whole", new_worktree(id), typing(U"ß日"),
       "NewWorktree proj name=ß日 base=origin/main field=0"},
      {"Alt with a letter types nothing",
       new_worktree(id, "a"),
       {key(U'x', Mod::Alt)},
       "NewWorktree proj name=a base=origin/main field=0"},
      {"Shift and Alt together type nothing",
       new_worktree(id),
       {key(U'X', Mod::Shift | Mod::Alt)},
       "NewWorktree proj name= base=origin/main field=0"},
      {"Control with another letter types nothing",
       new_worktree(id),
       {key(U'x', Mod::Control)},
       "NewWorktree proj name= base=origin/main field=0"},
      {"a control character is never typed",
       new_worktree(id),
       {key(U'\a')},
       "NewWorktree proj name= base=origin/main field=0"},
      {"Tab then typing edits the base",
       new_worktree(id),
       {key(Kind::Tab), key(U'2')},
       "NewWorktree proj name= base=origin/main2 field=1"},
      {"Tab twice brings the name field back",
       new_worktree(id),
       {key(Kind::Tab), key(Kind::Tab), key(U'z')},
       "NewWorktree proj name=z base=origin/main field=0"},
      {"Backspace removes one character, however many bytes",
       new_worktree(id, "añ😀"),
       {key(Kind::Backspace)},
       "NewWorktree proj name=añ base=origin/main field=0"},
      {"Backspace works on the active field only",
       new_worktree(id, "x", "ñ", 1),
       {key(Kind::Backspace), key(Kind::Backspace)},
       "NewWorktree proj name=x base= field=1"},
      {"Backspace on an empty field changes nothing",
       new_worktree(id, "", "main"),
       {key(Kind::Backspace)},
       "NewWorktree proj name= base=main field=0"},
      {"other keys change nothing",
       new_worktree(id, "a"),
       {key(Kind::Up), key(Kind::Down), key(Kind::Left), key(Kind::BackTab), key(Kind::Delete),
        key(KeyCode::function(5))},
       "NewWorktree proj name=a base=origin/main field=0"},
      {"Esc closes", new_worktree(id, "a"), {key(Kind::Esc)}, "none"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    app.modal = c.start;
    EXPECT_EQ(outcome_text(press(c.keys)), "Continue");
    EXPECT_EQ(test::modal_text(app.modal), c.expected);
  }
  EXPECT_TRUE(app.toast.empty());
  EXPECT_EQ(osascript_call_count(), 0u);
}

TEST_F(DialogTest, EnterCreatesTheWorktreeStartsTheAgentAndRunsItInTheForeground) {
  const orvo::test::GitRepo repo(tmp / "proj");
  const core::ProjectId id = add_project(repo);
  app.modal = new_worktree(id, "", "main");
  const std::filesystem::path created = tmp / "worktrees" / "proj" / "feat";

  const auto outcome = press(typing(U"  feat ") + std::vector{key(Kind::Enter)});

  EXPECT_EQ(outcome_text(outcome), "RunForeground " + created.string());
  EXPECT_TRUE(std::filesystem::is_directory(created));
  EXPECT_EQ(repo.git({"-C", created.string(), "symbolic-ref", "--short", "HEAD"}), "feat\n");
  EXPECT_EQ(test::modal_text(app.modal), "none");
  EXPECT_EQ(app.toast, "created feat ← main");
  EXPECT_TRUE(app.needs_reload);
  EXPECT_FALSE(app.foreground_path);
  ASSERT_TRUE(app.current_worktree());
  EXPECT_EQ(app.current_worktree()->path, created);
  EXPECT_EQ(app.focus.path, created);
  const auto calls = osascript_calls(1);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0], (std::vector<std::string>{
                          "-e", fmt::format("tell application \"Terminal\" to do script \"cd '{}' "
                                            "&& 'pi'\"",
                                            created.string())}));
  EXPECT_EQ(project(id).sessions.size(), 1u);
}

TEST_F(DialogTest, ControlPCreatesWithoutAnyAgent) {
  const orvo::test::GitRepo repo(tmp / "proj");
  const core::ProjectId id = add_project(repo);
  app.modal = new_worktree(id, "fix", "main");
  const std::filesystem::path created = tmp / "worktrees" / "proj" / "fix";

  // Other modifiers held with Control do not matter.
  EXPECT_EQ(outcome_text(press(key(U'p', Mod::Control | Mod::Alt))), "Continue");

  EXPECT_TRUE(std::filesystem::is_directory(created));
  EXPECT_EQ(app.toast, "created fix ← main");
  EXPECT_EQ(test::modal_text(app.modal), "none");
  ASSERT_TRUE(app.current_worktree());
  EXPECT_EQ(app.current_worktree()->path, created);
  EXPECT_FALSE(app.foreground_path);
  EXPECT_TRUE(project(id).sessions.empty());
  EXPECT_EQ(osascript_calls_before_marker(id), 0u);
}

TEST_F(DialogTest, CreatedWorktreeBehindASymbolicLinkGetsTheCursor) {
  const orvo::test::GitRepo repo(tmp / "proj");
  std::filesystem::create_directories(tmp / "elsewhere");
  std::filesystem::create_directory_symlink(tmp / "elsewhere", tmp / "worktrees");
  const core::ProjectId id = add_project(repo);
  app.modal = new_worktree(id, "feat", "main");

  EXPECT_EQ(outcome_text(press(key(U'p', Mod::Control))), "Continue");
  const std::filesystem::path listed = tmp / "elsewhere" / "proj" / "feat";
  ASSERT_TRUE(app.current_worktree());
  EXPECT_EQ(app.current_worktree()->path, listed);
  EXPECT_EQ(app.context_line(), "ctx " + listed.string());
}

TEST_F(DialogTest, APickedBaseKeepsWhiteSpaceOtherThanAscii) {
  orvo::test::GitRepo repo(tmp / "proj");
  repo.add_branch("feat\u00A0");
  const core::ProjectId id = add_project(repo);
  app.modal = new_worktree(id, "x ", "main");

  EXPECT_EQ(outcome_text(press(std::vector{key(U'b', Mod::Control)} + typing(U"feat") +
                               std::vector{key(Kind::Enter)})),
            "Continue");
  EXPECT_EQ(test::modal_text(app.modal), "NewWorktree proj name=x  base=feat\u00A0 field=0");
  EXPECT_EQ(outcome_text(press(key(U'p', Mod::Control))), "Continue");
  EXPECT_EQ(app.toast, "created x ← feat\u00A0");
  EXPECT_TRUE(std::filesystem::is_directory(tmp / "worktrees" / "proj" / "x"));
}

TEST_F(DialogTest, CreationThatCannotRunClosesTheDialogWithAMessage) {
  const orvo::test::GitRepo repo(tmp / "proj");
  const core::ProjectId id = add_project(repo);
  std::filesystem::create_directories(tmp / "worktrees" / "proj" / "taken");
  struct Case {
    const char* label;
    NewWorktree dialog;
    KeyEvent key;
    std::string toast;
  };
  const Case cases[] = {
      {"a name of blanks only", new_worktree(id, " \t ", "main"), key(Kind::Enter),
       "name and base required"},
      {"an empty base", new_worktree(id, "x", "   "), key(U'p', Mod::Control),
       "name and base required"},
      {"the directory exists already", new_worktree(id, "taken", "main"), key(Kind::Enter),
       "create failed: path already exists: " + (tmp / "worktrees" / "proj" / "taken").string()},
      {"git refuses the base", new_worktree(id, "x", "nope"), key(U'p', Mod::Control),
       "create failed: git failed (255): fatal: not a valid object name: 'nope'"},
      {"the project is gone", new_worktree(test::project_id(9), "x", "main"), key(Kind::Enter),
       "create failed: project not found"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    app.modal = c.dialog;
    app.needs_reload = false;
    EXPECT_EQ(outcome_text(press(c.key)), "Continue");
    EXPECT_EQ(app.toast, c.toast);
    EXPECT_EQ(test::modal_text(app.modal), "none");
    EXPECT_FALSE(app.needs_reload);
    EXPECT_FALSE(app.foreground_path);
  }
  EXPECT_EQ(local_branches(repo), "main\n");
  EXPECT_TRUE(project(id).sessions.empty());
  EXPECT_EQ(osascript_calls_before_marker(id), 0u);
}

TEST_F(DialogTest, FailedCreationIsLoggedAsAnError) {
  const orvo::test::GitRepo repo(tmp / "proj");
  const core::ProjectId id = add_project(repo);
  const std::filesystem::path taken = tmp / "worktrees" / "proj" / "taken";
  std::filesystem::create_directories(taken);
  core::log::init("orvo_ui::app=error", false);
  orvo::test::StderrCapture captured;

  app.modal = new_worktree(id, "taken", "main");
  ASSERT_TRUE(press(key(Kind::Enter)));

  const std::string text = captured.text();
  EXPECT_NE(text.find(" ERROR orvo_ui::app: create worktree error=path already exists: " +
                      taken.string() + "\n"),
            std::string::npos)
      << text;
}

TEST_F(DialogTest, ControlBOpensThePickerWithTheBranchesAndParksTheDialog) {
  orvo::test::GitRepo repo(tmp / "proj");
  repo.add_origin(tmp / "origin.git", "main");
  repo.add_branch("feat/mango");
  repo.add_branch("Mapper");
  const core::ProjectId id = add_project(repo);
  app.pending = PendingNew{"old", "old", "old", test::project_id(9)};
  app.modal = new_worktree(id, "wip", "dev", 0);

  EXPECT_EQ(outcome_text(press(key(U'b', Mod::Control))), "Continue");

  ASSERT_TRUE(app.modal && std::holds_alternative<PickBase>(*app.modal));
  const auto& picker = std::get<PickBase>(*app.modal);
  EXPECT_EQ(picker.branches,
            (std::vector<std::string>{"Mapper", "feat/mango", "main", "origin/main"}));
  EXPECT_EQ(picker.filter, "");
  EXPECT_EQ(picker.selected, 0u);
  EXPECT_EQ(picker.project_id, id);
  ASSERT_TRUE(app.pending);
  EXPECT_EQ(app.pending->project_name, "proj");
  EXPECT_EQ(app.pending->name, "wip");
  EXPECT_EQ(app.pending->base, "dev");
  EXPECT_EQ(app.pending->project_id, id);
}

TEST_F(DialogTest, PickerOfARepositoryWithoutBranches) {
  const orvo::test::GitRepo repo(tmp / "proj", "main", false);
  const core::ProjectId id = add_project(repo);
  struct Case {
    const char* label;
    KeyEvent key;
    std::string expected;
    bool still_parked;
  };
  const Case cases[] = {
      {"Enter closes without the dialog", key(Kind::Enter), "none", true},
      {"Esc brings the dialog back at its base", key(Kind::Esc),
       "NewWorktree proj name=wip base=main field=1", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    app.modal = new_worktree(id, "wip", "main");
    ASSERT_TRUE(press(key(U'b', Mod::Control)));
    EXPECT_EQ(test::modal_text(app.modal), "PickBase filter= selected=0 visible=");
    EXPECT_EQ(outcome_text(press(c.key)), "Continue");
    EXPECT_EQ(test::modal_text(app.modal), c.expected);
    EXPECT_EQ(app.pending.has_value(), c.still_parked);
  }
}

TEST_F(DialogTest, UnreadableBranchesKeepTheDialogAsItWas) {
  const core::ProjectId gone = test::project_id(9);
  app.modal = new_worktree(gone, "wip", "dev", 1);

  EXPECT_EQ(outcome_text(press(key(U'b', Mod::Control))), "Continue");

  EXPECT_EQ(app.toast, "branches: project not found: " + gone.to_string());
  EXPECT_EQ(test::modal_text(app.modal), "NewWorktree proj name=wip base=dev field=1");
  EXPECT_FALSE(app.pending);
}

PickBase picker(const core::ProjectId& id) {
  return PickBase{{"Mapper", "feat/mango", "main", "origin/main", "release"}, "", id, 0};
}

TEST_F(DialogTest, PickerFiltersAndMoves) {
  struct Case {
    const char* label;
    std::vector<KeyEvent> keys;
    std::string expected;
  };
  const std::string all = "Mapper|feat/mango|main|origin/main|release";
  const std::string ma = "feat/mango|main|origin/main";
  const Case cases[] = {
      {"opens on the first branch", {}, "PickBase filter= selected=0 visible=" + all},
      {"the filter is a case-sensitive substring", typing(U"ma"),
       "PickBase filter=ma selected=0 visible=" + ma},
      {"an upper-case filter", typing(U"Ma"), "PickBase filter=Ma selected=0 visible=Mapper"},
      {"j moves instead of typing", typing(U"maj"), "PickBase filter=ma selected=1 visible=" + ma},
      {"j and k move with any modifiers",
       {key(U'j', Mod::Control), key(U'j', Mod::Alt), key(U'k', Mod::Control)},
       "PickBase filter= selected=1 visible=" + all},
      {"Down stops at the last visible branch", typing(U"ma") + std::vector(5, key(Kind::Down)),
       "PickBase filter=ma selected=2 visible=" + ma},
      {"Down with nothing visible changes nothing", typing(U"zz") + std::vector{key(Kind::Down)},
       "PickBase filter=zz selected=0 visible="},
      {"Up and k stop at the first",
       {key(Kind::Up), key(U'k')},
       "PickBase filter= selected=0 visible=" + all},
      {"Up after Down",
       {key(Kind::Down), key(Kind::Down), key(Kind::Up)},
       "PickBase filter= selected=1 visible=" + all},
      {"Backspace puts the cursor on the first visible branch",
       typing(U"maj") + std::vector{key(U'j'), key(Kind::Backspace)},
       "PickBase filter=m selected=0 visible=feat/mango|main|origin/main"},
      {"Backspace on an empty filter still resets the cursor",
       {key(Kind::Down), key(Kind::Backspace)},
       "PickBase filter= selected=0 visible=" + all},
      {"typing resets the cursor",
       {key(Kind::Down), key(U'e')},
       "PickBase filter=e selected=0 visible=Mapper|feat/mango|release"},
      {"Alt with a letter types it",
       {key(U'r', Mod::Alt)},
       "PickBase filter=r selected=0 visible=Mapper|origin/main|release"},
      {"Control with a letter changes nothing",
       {key(Kind::Down), key(U'e', Mod::Control)},
       "PickBase filter= selected=1 visible=" + all},
      {"other keys change nothing",
       {key(Kind::Down), key(Kind::Tab), key(Kind::Left), key(Kind::Delete), key(Kind::PageDown)},
       "PickBase filter= selected=1 visible=" + all},
  };
  const core::ProjectId id = test::project_id(1);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    app.modal = picker(id);
    EXPECT_EQ(outcome_text(press(c.keys)), "Continue");
    EXPECT_EQ(test::modal_text(app.modal), c.expected);
  }
}

TEST_F(DialogTest, PickerWaysOut) {
  struct Case {
    const char* label;
    std::vector<KeyEvent> keys;
    std::string expected;
    bool still_parked;
  };
  const Case cases[] = {
      {"Enter puts the pick into the base and types in the name",
       {key(Kind::Enter)},
       "NewWorktree proj name=wip base=Mapper field=0",
       false},
      {"Enter picks among the visible branches", typing(U"maj") + std::vector{key(Kind::Enter)},
       "NewWorktree proj name=wip base=main field=0", false},
      {"Esc brings the dialog back unchanged at its base",
       typing(U"ma") + std::vector{key(Kind::Esc)}, "NewWorktree proj name=wip base=dev field=1",
       false},
      {"Enter with nothing visible closes and keeps the dialog parked",
       typing(U"zz") + std::vector{key(Kind::Enter)}, "none", true},
  };
  const core::ProjectId id = test::project_id(1);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    app.pending = PendingNew{"proj", "wip", "dev", id};
    app.modal = picker(id);
    EXPECT_EQ(outcome_text(press(c.keys)), "Continue");
    EXPECT_EQ(test::modal_text(app.modal), c.expected);
    EXPECT_EQ(app.pending.has_value(), c.still_parked);
    if (app.modal) {
      EXPECT_EQ(std::get<NewWorktree>(*app.modal).project_id, id);
    }
  }
}

TEST_F(DialogTest, QuickBaseDialog) {
  const orvo::test::GitRepo repo(tmp / "proj");
  // Registering sets the quick base to the repository's default base.
  const core::ProjectId id = add_project(repo);
  struct Case {
    const char* label;
    std::string input;
    std::vector<KeyEvent> keys;
    std::string expected;
    std::string toast;
    std::string stored;
  };
  const Case cases[] = {
      {"typing with Shift or Alt",
       "",
       {key(U'D', Mod::Shift), key(U'v', Mod::Alt)},
       "QuickBase proj input=Dv",
       "",
       "main"},
      {"Control with a letter types nothing",
       "a",
       {key(U'v', Mod::Control)},
       "QuickBase proj input=a",
       "",
       "main"},
      {"Backspace removes one character",
       "ma",
       {key(Kind::Backspace)},
       "QuickBase proj input=m",
       "",
       "main"},
      {"other keys change nothing",
       "a",
       {key(Kind::Tab), key(Kind::Up)},
       "QuickBase proj input=a",
       "",
       "main"},
      {"Enter with blanks only keeps the blanks",
       "  ",
       {key(Kind::Enter)},
       "QuickBase proj input=  ",
       "empty base",
       "main"},
      {"Esc closes without saving", "dev", {key(Kind::Esc)}, "none", "", "main"},
      {"Enter keeps white space other than ASCII",
       " dev\u00A0\t",
       {key(Kind::Enter)},
       "none",
       "quick base saved",
       "dev\u00A0"},
      {"Enter saves the trimmed base",
       " dev ",
       {key(Kind::Enter)},
       "none",
       "quick base saved",
       "dev"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    app.modal = QuickBase{"proj", c.input, id};
    app.toast.clear();
    EXPECT_EQ(outcome_text(press(c.keys)), "Continue");
    EXPECT_EQ(test::modal_text(app.modal), c.expected);
    EXPECT_EQ(app.toast, c.toast);
    EXPECT_EQ(app.needs_reload, c.toast == "quick base saved");
    EXPECT_EQ(project(id).project.quick_base, c.stored);
  }
  auto reopened = store::Store::open_default();
  ASSERT_TRUE(reopened);
  ASSERT_EQ(reopened->data().projects.size(), 1u);
  EXPECT_EQ(reopened->data().projects[0].quick_base, "dev");
}

TEST_F(DialogTest, FailedQuickBaseSaveEndsTheInterfaceWithTheError) {
  const orvo::test::GitRepo repo(tmp / "proj");
  const core::ProjectId id = add_project(repo);
  break_state_dir();
  app.modal = QuickBase{"proj", "dev", id};

  const auto outcome = press(key(Kind::Enter));

  ASSERT_FALSE(outcome);
  EXPECT_EQ(outcome.error().message(), "io: File exists (os error 17)");
  EXPECT_EQ(outcome.error().causes(), std::vector<std::string>{"File exists (os error 17)"});
  EXPECT_EQ(test::modal_text(app.modal), "none");
  EXPECT_TRUE(app.toast.empty());
  EXPECT_FALSE(app.needs_reload);
}

TEST_F(DialogTest, AddProjectDialog) {
  const orvo::test::GitRepo repo(tmp / "proj");
  std::filesystem::create_directories(tmp / "plain");
  const std::string plain = " " + (tmp / "plain").string() + " ";
  struct Case {
    const char* label;
    std::string input;
    std::vector<KeyEvent> keys;
    std::string expected;
    std::string toast;
    std::size_t projects;
  };
  const Case cases[] = {
      {"typing with Shift or Alt",
       "",
       {key(U'A', Mod::Shift), key(U'b', Mod::Alt)},
       "AddProject input=Ab",
       "",
       0},
      {"Control with a letter types nothing",
       "a",
       {key(U'b', Mod::Control)},
       "AddProject input=a",
       "",
       0},
      {"Backspace removes one character",
       "/é",
       {key(Kind::Backspace)},
       "AddProject input=/",
       "",
       0},
      {"Esc closes", "/x", {key(Kind::Esc)}, "none", "", 0},
      {"a path outside any repository keeps the dialog as typed",
       plain,
       {key(Kind::Enter)},
       "AddProject input=" + plain,
       "add failed: git failed (128): fatal: not a git repository (or any of the parent "
       "directories): .git",
       0},
      {"an empty input is sent too",
       "",
       {key(Kind::Enter)},
       "AddProject input=",
       "add failed: not a git repository: ",
       0},
      {"a repository is registered from the trimmed path",
       " " + repo.path().string() + "\t",
       {key(Kind::Enter)},
       "none",
       "project added",
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    app.modal = AddProject{c.input};
    app.toast.clear();
    EXPECT_EQ(outcome_text(press(c.keys)), "Continue");
    EXPECT_EQ(test::modal_text(app.modal), c.expected);
    EXPECT_EQ(app.toast, c.toast);
    EXPECT_EQ(app.needs_reload, c.projects > 0);
    EXPECT_EQ(rt().snapshot().projects.size(), c.projects);
  }
}

TEST_F(DialogTest, ConfirmDeleteDialog) {
  orvo::test::GitRepo repo(tmp / "proj");
  const core::ProjectId id = add_project(repo);
  struct Case {
    const char* label;
    KeyEvent key;
    std::string expected;
    std::string toast;
    bool removed;
  };
  const Case cases[] = {
      {"N keeps it", key(U'N', Mod::Shift), "ConfirmDelete", "", false},
      {"Control-c keeps it", key(U'c', Mod::Control), "ConfirmDelete", "", false},
      {"Enter keeps it", key(Kind::Enter), "ConfirmDelete", "", false},
      {"n closes", key(U'n'), "none", "", false},
      {"Esc closes", key(Kind::Esc), "none", "", false},
      {"y removes", key(U'y'), "none", "worktree removed", true},
      {"Y removes", key(U'Y', Mod::Shift), "none", "worktree removed", true},
      {"Control-y removes too", key(U'y', Mod::Control), "none", "worktree removed", true},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::filesystem::path wt = tmp / "wt" / std::to_string(++n);
    repo.add_worktree(wt, "b" + std::to_string(n));
    // An untracked file: only a forced removal takes the worktree.
    orvo::test::write_file(wt / "scratch.txt", "unsaved");
    app.modal = ConfirmDelete{wt, id};
    app.toast.clear();
    app.needs_reload = false;
    EXPECT_EQ(outcome_text(press(c.key)), "Continue");
    EXPECT_EQ(test::modal_text(app.modal),
              c.expected == "none" ? "none" : "ConfirmDelete " + wt.string());
    EXPECT_EQ(app.toast, c.toast);
    EXPECT_EQ(app.needs_reload, c.removed);
    EXPECT_EQ(std::filesystem::exists(wt), !c.removed);
  }
}

TEST_F(DialogTest, AWorktreeNamedWithALineFeedIsRemovedAsItself) {
  orvo::test::GitRepo repo(tmp / "proj");
  const std::filesystem::path plain = tmp / "a";
  const std::filesystem::path nl = tmp / "a\nb";
  repo.add_worktree(plain, "plain");
  repo.add_worktree(nl, "nl");
  orvo::test::write_file(plain / "scratch.txt", "unsaved");
  add_project(repo);
  // Rows: the project, proj, a, a<LF>b.
  app.selected = 3;
  ASSERT_TRUE(app.handle_key(key(U'd')));
  EXPECT_EQ(test::modal_text(app.modal), "ConfirmDelete " + nl.string());

  EXPECT_EQ(outcome_text(press(key(U'y'))), "Continue");
  EXPECT_EQ(app.toast, "worktree removed");
  EXPECT_FALSE(std::filesystem::exists(nl));
  EXPECT_EQ(orvo::test::read_file(plain / "scratch.txt"), "unsaved");
  EXPECT_EQ(repo.git({"-C", plain.string(), "status", "--porcelain"}), "?? scratch.txt\n");
}

TEST_F(DialogTest, FailedRemovalStillReloads) {
  const orvo::test::GitRepo repo(tmp / "proj");
  const core::ProjectId id = add_project(repo);
  const std::filesystem::path nowhere = tmp / "nowhere";
  app.modal = ConfirmDelete{nowhere, id};

  EXPECT_EQ(outcome_text(press(key(U'y'))), "Continue");

  EXPECT_EQ(app.toast,
            fmt::format("remove failed: git failed (128): fatal: '{}' is not a working tree",
                        nowhere.string()));
  EXPECT_EQ(test::modal_text(app.modal), "none");
  EXPECT_TRUE(app.needs_reload);
}

}  // namespace
}  // namespace orvo::ui
