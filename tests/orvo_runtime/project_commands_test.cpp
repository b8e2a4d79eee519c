#include <fcntl.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "orvo_sys/portable.hpp"
#include "support/runtime_fixture.hpp"

namespace orvo::runtime {
namespace {

using ::testing::ElementsAre;
using ::testing::Eq;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;

TEST_F(RuntimeTest, AddProjectRegistersTheRepositoryRootListsAndFocusesIt) {
  test::GitRepo repo(tmp / "proj");
  std::filesystem::create_directories(repo.path() / "src" / "deep");
  const core::UtcTime before = core::utc_now();

  ASSERT_TRUE(rt().handle(AddProject{repo.path() / "src" / "deep"}));
  EXPECT_THAT(events(), ElementsAre("ProjectsChanged", "Toast Project added true"));

  const core::RuntimeSnapshot snap = rt().snapshot();
  ASSERT_EQ(snap.projects.size(), 1U);
  const core::Project& p = snap.projects[0].project;
  EXPECT_EQ(p.name, "proj");
  EXPECT_EQ(p.main_path, repo.path());
  EXPECT_EQ(p.worktree_dir_template, "../worktrees/{repo}");
  EXPECT_EQ(p.quick_base, "main");
  EXPECT_FALSE(p.preferred_editor.has_value());
  EXPECT_GE(p.created_at, before);
  EXPECT_LE(p.created_at, core::utc_now());
  ASSERT_EQ(snap.projects[0].worktrees.size(), 1U);
  EXPECT_TRUE(snap.projects[0].worktrees[0].is_main);
  EXPECT_EQ(snap.focus.path, repo.path());
  EXPECT_EQ(snap.focus.project_id, p.id);
  EXPECT_THAT(read_if_exists(state_file()), HasSubstr(p.id.to_string()));
}

TEST_F(RuntimeTest, AddProjectTakesTheRepositorysDefaultBaseAsQuickBase) {
  struct Case {
    const char* name;
    std::function<void(test::GitRepo&)> set_up;
    std::string initial_branch;
    std::optional<std::string> quick_base;
  };
  const Case cases[] = {
      {"origin HEAD", [&](test::GitRepo& r) { r.add_origin(tmp / "o.git", "main"); }, "main",
       "origin/main"},
      {"local master", [](test::GitRepo&) {}, "master", "master"},
      {"neither", [](test::GitRepo&) {}, "trunk", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::GitRepo repo(tmp / c.initial_branch, c.initial_branch);
    c.set_up(repo);
    const core::ProjectId id = add(repo);
    EXPECT_EQ(project(id).project.quick_base, c.quick_base);
  }
}

TEST_F(RuntimeTest, AddingARegisteredRepositoryAgainRefreshesAndFocusesItsProject) {
  test::GitRepo repo(tmp / "proj");
  test::GitRepo other(tmp / "other");
  const core::ProjectId id = add(repo);
  add(other);
  repo.add_worktree(tmp / "wt" / "x", "x");
  const std::string stored = read_if_exists(state_file());

  ASSERT_TRUE(rt().handle(AddProject{repo.path() / "."}));
  EXPECT_THAT(events(), ElementsAre("ProjectsChanged", "Toast Project added true"));
  const core::RuntimeSnapshot snap = rt().snapshot();
  EXPECT_EQ(snap.projects.size(), 2U);
  EXPECT_EQ(snap.focus.project_id, id);
  EXPECT_EQ(snap.focus.path, repo.path());
  EXPECT_EQ(project(id).worktrees.size(), 2U);
  EXPECT_EQ(read_if_exists(state_file()), stored);
}

TEST(AddProjectInALinkedWorktree, RegistersTheMainWorktreeAndFocusesWhereThePathLies) {
  struct Step {
    const char* add;    // relative to the temporary folder
    const char* focus;  // the focused worktree afterwards
  };
  struct Case {
    const char* name;
    std::vector<Step> steps;
  };
  const Case cases[] = {
      {"linked first, then main", {{"side", "side"}, {"proj", "proj"}}},
      {"main first, then linked", {{"proj", "proj"}, {"side/sub", "side"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Sandbox s;
    test::GitRepo repo(s.tmp / "proj");
    repo.add_worktree(s.tmp / "side", "side");
    std::filesystem::create_directories(s.tmp / "side" / "sub");
    for (const Step& step : c.steps) {
      SCOPED_TRACE(step.add);
      ASSERT_TRUE(s.rt().handle(AddProject{s.tmp / step.add}));
      const core::RuntimeSnapshot snap = s.rt().snapshot();
      ASSERT_EQ(snap.projects.size(), 1U);
      const core::ProjectSnapshot& entry = snap.projects[0];
      EXPECT_EQ(entry.project.name, "proj");
      EXPECT_EQ(entry.project.main_path, repo.path());
      ASSERT_EQ(entry.worktrees.size(), 2U);
      EXPECT_EQ(entry.worktrees[0].path, repo.path());
      EXPECT_TRUE(entry.worktrees[0].is_main);
      EXPECT_EQ(entry.worktrees[1].path, s.tmp / "side");
      EXPECT_FALSE(entry.worktrees[1].is_main);
      EXPECT_EQ(snap.focus.path, s.tmp / step.focus);
      EXPECT_EQ(snap.focus.project_id, entry.project.id);
    }
  }
}

TEST(AddProjectOfARootEndingInWhiteSpace, RegistersThatRepository) {
  struct Case {
    const char* suffix;
    bool sibling;  // a repository beside it under the name without the suffix
  };
  const Case cases[] = {{" ", false}, {" ", true}, {"\t", true}, {"\u00A0", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << "suffix " << ::testing::PrintToString(c.suffix) << " sibling " << c.sibling);
    Sandbox s;
    if (c.sibling) {
      test::GitRepo sibling(s.tmp / "proj");
    }
    const test::GitRepo repo(s.tmp / (std::string("proj") + c.suffix));
    ASSERT_TRUE(s.rt().handle(AddProject{repo.path()}));
    const core::RuntimeSnapshot snap = s.rt().snapshot();
    ASSERT_EQ(snap.projects.size(), 1U);
    EXPECT_EQ(snap.projects[0].project.name, std::string("proj") + c.suffix);
    EXPECT_EQ(snap.projects[0].project.main_path, repo.path());
    ASSERT_EQ(snap.projects[0].worktrees.size(), 1U);
    EXPECT_EQ(snap.projects[0].worktrees[0].path, repo.path());
    EXPECT_EQ(snap.focus.path, repo.path());
  }
}

TEST(AddProjectFailure, LeavesItsCompletedStepsInPlace) {
  struct Case {
    const char* name;
    // Prepares the sandbox and returns the path to add.
    std::function<std::filesystem::path(Sandbox&)> set_up;
    std::function<std::string(const Sandbox&)> message_start;
    bool stored;
    bool saved;
  };
  const Case cases[] = {
      {"outside any repository",
       [](Sandbox& s) {
         std::filesystem::create_directories(s.tmp / "plain");
         return s.tmp / "plain";
       },
       [](const Sandbox&) { return "git failed (128): fatal: not a git repository"; }, false,
       false},
      {"missing directory", [](Sandbox& s) { return s.tmp / "missing"; },
       [](const Sandbox& s) { return "not a git repository: " + (s.tmp / "missing").string(); },
       false, false},
      {"git missing",
       [](Sandbox& s) {
         const test::GitRepo repo(s.tmp / "proj");
         std::filesystem::remove(s.bin / "git");
         return repo.path();
       },
       [](const Sandbox&) { return "git not found on PATH"; }, false, false},
      {"state file cannot be written",
       [](Sandbox& s) {
         const test::GitRepo repo(s.tmp / "proj");
         s.rt();
         s.break_state_dir();
         return repo.path();
       },
       [](const Sandbox&) { return "io: File exists (os error 17)"; }, false, false},
      {"listing fails",
       [](Sandbox& s) {
         const test::GitRepo repo(s.tmp / "proj");
         s.fail_worktree_listing();
         return repo.path();
       },
       [](const Sandbox&) { return "git failed (1): fatal: listing refused"; }, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Sandbox s;
    const std::filesystem::path path = c.set_up(s);
    const auto added = s.rt().handle(AddProject{path});
    ASSERT_FALSE(added);
    EXPECT_THAT(added.error().message(), StartsWith(c.message_start(s)));
    EXPECT_THAT(s.events(), IsEmpty());
    const core::RuntimeSnapshot snap = s.rt().snapshot();
    EXPECT_FALSE(snap.focus.project_id.has_value());
    ASSERT_EQ(snap.projects.size(), c.stored ? 1U : 0U);
    if (c.stored) {
      EXPECT_THAT(snap.projects[0].worktrees, IsEmpty());
    }
    EXPECT_EQ(read_if_exists(s.state_file()).find("\"proj\"") != std::string::npos, c.saved);
  }
}

TEST_F(RuntimeTest, RemoveProjectDropsItsEntryAndKeepsDiskSessionsAndFocus) {
  test::GitRepo repo(tmp / "proj");
  test::GitRepo other(tmp / "other");
  const core::ProjectId id = add(repo);
  const core::ProjectId kept = add(other);
  ASSERT_TRUE(rt().handle(Focus{repo.path(), id}));
  ASSERT_TRUE(rt().start_pi(id, repo.path()));
  (void)events();

  ASSERT_TRUE(rt().handle(RemoveProject{id}));
  EXPECT_THAT(events(), ElementsAre("ProjectsChanged"));
  const core::RuntimeSnapshot snap = rt().snapshot();
  ASSERT_EQ(snap.projects.size(), 1U);
  EXPECT_EQ(snap.projects[0].project.id, kept);
  EXPECT_EQ(snap.focus.project_id, id);
  EXPECT_TRUE(std::filesystem::exists(repo.path() / ".git"));
  EXPECT_THAT(read_if_exists(state_file()), Not(HasSubstr(id.to_string())));
}

TEST_F(RuntimeTest, RemovingAnUnknownProjectRewritesTheSameStateAndBroadcasts) {
  test::GitRepo repo(tmp / "proj");
  add(repo);
  // The same state with a final line break is written back without it.
  const std::string stored = read_if_exists(state_file());
  test::write_file(state_file(), stored + "\n");
  ASSERT_TRUE(rt().handle(RemoveProject{core::ProjectId::create()}));
  EXPECT_THAT(events(), ElementsAre("ProjectsChanged"));
  EXPECT_EQ(read_if_exists(state_file()), stored);
  EXPECT_EQ(rt().snapshot().projects.size(), 1U);
}

TEST_F(RuntimeTest, SetQuickBaseStoresTheTextExactlyAsGiven) {
  test::GitRepo repo(tmp / "proj");
  const core::ProjectId id = add(repo);
  for (const std::string base : {"origin/dev", "", " spaced "}) {
    SCOPED_TRACE(base);
    ASSERT_TRUE(rt().handle(SetQuickBase{id, base}));
    EXPECT_THAT(events(), ElementsAre("ProjectsChanged"));
    EXPECT_EQ(project(id).project.quick_base, base);
    EXPECT_THAT(read_if_exists(state_file()), HasSubstr("\"quick_base\": \"" + base + "\""));
  }
}

TEST_F(RuntimeTest, FailedStoreCommandsChangeNothingAndDoNotBroadcast) {
  test::GitRepo repo(tmp / "proj");
  const core::ProjectId id = add(repo);
  repo.add_worktree(tmp / "wt" / "x", "x");
  ASSERT_TRUE(rt().refresh_project(id));
  ASSERT_TRUE(rt().handle(Focus{tmp / "wt" / "x", id}));
  (void)events();

  const core::ProjectId unknown = core::ProjectId::create();
  EXPECT_EQ(rt().handle(SetQuickBase{unknown, "dev"}).error().message(), "project not found");
  break_state_dir();
  struct Case {
    const char* name;
    RuntimeCmd cmd;
  };
  const Case cases[] = {
      {"set quick base", SetQuickBase{id, "dev"}},
      {"remove project", RemoveProject{id}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto result = rt().handle(c.cmd);
    ASSERT_FALSE(result);
    EXPECT_THAT(result.error().message(), Eq("io: File exists (os error 17)"));
    EXPECT_THAT(result.error().causes(), ElementsAre("File exists (os error 17)"));
    EXPECT_THAT(events(), IsEmpty());
    EXPECT_EQ(rt().snapshot().focus.path, tmp / "wt" / "x");
  }
  // A change that could not be saved is not kept in memory either.
  ASSERT_EQ(rt().snapshot().projects.size(), 1U);
  EXPECT_EQ(project(id).project.quick_base, "main");
}

TEST_F(RuntimeTest, FocusTakesAnyPathAndProjectAndAlwaysBroadcasts) {
  const core::ProjectId nobody = core::ProjectId::create();
  ASSERT_TRUE(rt().handle(Focus{"/no/such/worktree", nobody}));
  EXPECT_THAT(events(), ElementsAre("ProjectsChanged"));
  const core::FocusState focus = rt().snapshot().focus;
  EXPECT_EQ(focus.path, std::filesystem::path("/no/such/worktree"));
  EXPECT_EQ(focus.project_id, nobody);
}

TEST_F(RuntimeTest, TouchSessionMarksTheMatchingSessionAndSendsItAlone) {
  test::GitRepo repo(tmp / "proj");
  const core::ProjectId id = add(repo);
  ASSERT_TRUE(rt().start_pi(id, repo.path()));
  const core::TermSession recorded = project(id).sessions.at(0);
  (void)events();

  ASSERT_TRUE(rt().handle(TouchSession{core::Uuid::new_v4()}));
  EXPECT_THAT(events(), IsEmpty());
  EXPECT_EQ(project(id).sessions.at(0).status, core::kSessionRecorded);

  ASSERT_TRUE(rt().handle(TouchSession{recorded.id}));
  const std::vector<core::Event> sent = raw_events();
  ASSERT_EQ(sent.size(), 1U);
  const core::TermSession& touched = std::get<core::SessionUpdated>(sent[0]).session;
  EXPECT_EQ(touched.id, recorded.id);
  EXPECT_EQ(touched.status, core::kSessionTouched);
  EXPECT_EQ(touched.started_at, recorded.started_at);
  EXPECT_GE(touched.updated_at, recorded.updated_at);
  const core::TermSession stored = project(id).sessions.at(0);
  EXPECT_EQ(stored.status, core::kSessionTouched);
  EXPECT_EQ(stored.updated_at, touched.updated_at);
}

TEST_F(RuntimeTest, OpenEditorRunsTheEditorOnThePathWithTheGivenStreamsUntilItEnds) {
  // The editor records its arguments and working directory, echoes the line it reads and fails;
  // it is slow, so a command that did not wait would return before the records exist.
  const std::filesystem::path record = tmp / "editor";
  test::write_file(bin / "fake-editor",
                   "#!/bin/sh\n"
                   "PATH=/usr/bin:/bin\n"
                   "sleep 0.2\n"
                   "printf '%s\\0' \"$@\" > '" +
                       record.string() +
                       ".args'\n"
                       "pwd > '" +
                       record.string() +
                       ".cwd'\n"
                       "read -r line; echo \"editor read $line\"\n"
                       "exit 7\n",
                   true);
  write_prefs("fake-editor", "pi");
  int input[2];
  ASSERT_EQ(sys::open_cloexec_pipe(input), 0);
  ASSERT_EQ(write(input[1], "typed\n", 6), 6);
  close(input[1]);
  const int out = open((tmp / "out").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_GE(out, 0);

  const auto opened = rt().handle(OpenEditor{tmp / "some worktree", {input[0], out, -1}});
  close(input[0]);
  close(out);
  ASSERT_TRUE(opened) << opened.error().report();
  EXPECT_EQ(read_if_exists(record.string() + ".args"), (tmp / "some worktree").string() + '\0');
  EXPECT_EQ(read_if_exists(record.string() + ".cwd"),
            std::filesystem::current_path().string() + "\n");
  EXPECT_EQ(read_if_exists(tmp / "out"), "editor read typed\n");
  EXPECT_THAT(events(), IsEmpty());
}

TEST(OpenEditorFailure, NamesTheWholeCommandWithTheSystemErrorAsCause) {
  struct Case {
    const char* editor_cmd;
    bool make_plain_file;
    const char* cause;
  };
  const Case cases[] = {
      {"code --wait", false, "No such file or directory (os error 2)"},
      {"", false, "No such file or directory (os error 2)"},
      {"not-executable", true, "Permission denied (os error 13)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.editor_cmd);
    Sandbox s;
    if (c.make_plain_file) {
      test::write_file(s.bin / c.editor_cmd, "#!/bin/sh\n");
    }
    s.write_prefs(c.editor_cmd, "pi");
    const auto opened = s.rt().handle(OpenEditor{s.tmp.path()});
    ASSERT_FALSE(opened);
    EXPECT_EQ(opened.error().message(), std::string("spawn editor ") + c.editor_cmd);
    EXPECT_THAT(opened.error().causes(), ElementsAre(c.cause));
    EXPECT_THAT(s.events(), IsEmpty());
  }
}

}  // namespace
}  // namespace orvo::runtime
