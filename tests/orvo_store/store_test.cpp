#include "orvo_store/store.hpp"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <future>
#include <thread>

#include "orvo_sys/os_error.hpp"
#include "state_fixtures.hpp"
#include "support/temp_dir.hpp"

namespace orvo::store {
namespace {

namespace fs = std::filesystem;
using orvo::test::read_file;
using orvo::test::ScopedEnv;
using orvo::test::TempDir;
using orvo::test::write_file;

core::Project make_project(std::string name, fs::path main_path) {
  return {core::ProjectId::create(),   std::move(name), std::move(main_path),
          "../worktrees/{repo}",       "main",          std::nullopt,
          core::UtcTime{1714979289, 0}};
}

std::string os_text(int code) {
  return sys::OsError{code}.message();
}

// A user and group id that owns nothing here.
constexpr uid_t kOtherUser = 43210;

// Runs `body` in a child process, under kOtherUser when this process runs as root, and gives its
// exit status (-1 when it did not exit).
int in_unprivileged_child(const std::function<int()>& body) {
  const pid_t pid = fork();
  if (pid == 0) {
    if (geteuid() == 0 && (setgid(kOtherUser) != 0 || setuid(kOtherUser) != 0)) {
      _exit(3);
    }
    _exit(body());
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
    return -1;
  }
  return WEXITSTATUS(status);
}

// A temporary HOME with no editor variables, so the default preferences are fixed.
class StoreTest : public testing::Test {
 protected:
  [[nodiscard]] fs::path dir() const { return home_ / "Library/Application Support/orvo"; }
  [[nodiscard]] fs::path file() const { return dir() / "state.json"; }

  // Throws, failing the test, when the store does not open.
  static Store open() {
    auto store = Store::open_default();
    EXPECT_TRUE(store) << store.error().message();
    return std::move(store).value();
  }

  [[nodiscard]] std::string open_failure() const {
    const auto store = Store::open_default();
    return store ? "opened" : store.error().message();
  }

  TempDir home_;
  ScopedEnv home_env_{"HOME", home_.path().string()};
  ScopedEnv editor_{"EDITOR", std::nullopt};
  ScopedEnv visual_{"VISUAL", std::nullopt};
};

TEST_F(StoreTest, WithoutAFileStartsEmptyAndCreatesOnlyTheDirectory) {
  const Store store = open();
  EXPECT_EQ(store.path(), file());
  EXPECT_TRUE(store.data().projects.empty());
  EXPECT_EQ(store.data().prefs.editor_cmd, "zed");
  EXPECT_EQ(store.data().prefs.pi_bin, "pi");
  EXPECT_TRUE(store.data().prefs.pi_extra_args.empty());
  EXPECT_TRUE(store.data().prefs.default_start_pi_on_create);
  EXPECT_TRUE(fs::is_directory(dir()));
  EXPECT_FALSE(fs::exists(file()));
}

TEST_F(StoreTest, TheFirstAddedProjectCreatesTheFileAndAReopenReadsIt) {
  Store store = open();
  core::Project project = make_project("proj", "/u/src/proj");
  const std::string id = project.id.to_string();
  ASSERT_TRUE(store.add_project(std::move(project)));
  EXPECT_EQ(read_file(file()), "{\n  \"projects\": [\n    {\n      \"id\": \"" + id +
                                   "\",\n      \"name\": \"proj\",\n      \"main_path\": "
                                   "\"/u/src/proj\",\n      \"worktree_dir_template\": "
                                   "\"../worktrees/{repo}\",\n      \"quick_base\": \"main\",\n"
                                   "      \"preferred_editor\": null,\n      \"created_at\": "
                                   "\"2024-05-06T07:08:09Z\"\n    }\n  ],\n  \"prefs\": {\n"
                                   "    \"editor_cmd\": \"zed\",\n    \"pi_bin\": \"pi\",\n"
                                   "    \"pi_extra_args\": [],\n"
                                   "    \"default_start_pi_on_create\": true\n  }\n}");
  const Store reopened = open();
  ASSERT_EQ(reopened.data().projects.size(), 1u);
  EXPECT_EQ(reopened.data().projects[0].id.to_string(), id);
  EXPECT_EQ(reopened.data().projects[0].main_path, "/u/src/proj");
}

TEST_F(StoreTest, AddingAnEqualPathChangesNothing) {
  const fs::path real = home_ / "real";
  fs::create_directories(real);
  fs::create_symlink(real, home_ / "link");
  struct Case {
    std::string note;
    fs::path path;
    bool stored;
  };
  const Case cases[] = {
      {"trailing separator", real.string() + "/", false},
      {"doubled separator", home_.path().string() + "//real", false},
      {"inner dot", home_ / "." / "real", false},
      {"letter case", home_ / "REAL", true},
      {"symbolic link", home_ / "link", true},
      {"unresolved dot-dot", home_ / "x/../real", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.note);
    fs::remove(file());
    Store store = open();
    ASSERT_TRUE(store.add_project(make_project("first", real)));
    const std::string before = read_file(file());
    ASSERT_TRUE(store.add_project(make_project("second", c.path)));
    EXPECT_EQ(store.data().projects.size(), c.stored ? 2u : 1u);
    EXPECT_EQ(read_file(file()) != before, c.stored);
  }
}

TEST_F(StoreTest, RemovingKeepsTheOrderAndAnUnknownIdentifierRewritesTheFileUnchanged) {
  Store store = open();
  const core::Project a = make_project("a", "/a");
  const core::Project b = make_project("b", "/b");
  const core::Project c = make_project("c", "/c");
  for (const core::Project& p : {a, b, c}) {
    ASSERT_TRUE(store.add_project(p));
  }
  ASSERT_TRUE(store.remove_project(b.id));
  ASSERT_EQ(store.data().projects.size(), 2u);
  EXPECT_EQ(store.data().projects[0].name, "a");
  EXPECT_EQ(store.data().projects[1].name, "c");

  // The same document without blanks and line breaks is written back in the usual layout.
  const std::string before = read_file(file());
  std::string compact = before;
  std::erase_if(compact, [](char c) { return c == ' ' || c == '\n'; });
  write_file(file(), compact);
  ASSERT_TRUE(store.remove_project(core::ProjectId::create()));
  EXPECT_EQ(read_file(file()), before);
}

TEST_F(StoreTest, SetQuickBaseStoresTheTextAsGivenAndRefusesAnUnknownIdentifier) {
  Store store = open();
  const core::Project first = make_project("first", "/first");
  const core::Project second = make_project("second", "/second");
  ASSERT_TRUE(store.add_project(first));
  ASSERT_TRUE(store.add_project(second));

  ASSERT_TRUE(store.set_quick_base(second.id, ""));
  EXPECT_EQ(store.data().projects[1].quick_base, "");
  EXPECT_NE(read_file(file()).find("\"quick_base\": \"\","), std::string::npos);
  ASSERT_TRUE(store.set_quick_base(first.id, " origin/dev "));
  EXPECT_EQ(open().data().projects[0].quick_base, " origin/dev ");

  const std::string before = read_file(file());
  fs::remove(file());
  const auto unknown = store.set_quick_base(core::ProjectId::create(), "x");
  ASSERT_FALSE(unknown);
  EXPECT_EQ(unknown.error().kind(), StoreError::Kind::NotFound);
  EXPECT_EQ(unknown.error().message(), "project not found");
  EXPECT_FALSE(fs::exists(file()));
}

TEST_F(StoreTest, AStateFileThatCannotBeReadIsReportedAndLeftAsItIs) {
  struct Case {
    std::string note;
    std::string content;
    std::string message;
  };
  const Case cases[] = {
      {"not UTF-8", "{\"projects\":[],\"prefs\":{\"editor_cmd\":\"\xFF\"}}",
       "io: stream did not contain valid UTF-8"},
      {"zero bytes", "", "json: EOF while parsing a value at line 1 column 0"},
      {"missing prefs", "{\n  \"projects\": []\n}",
       "json: missing field `prefs` at line 3 column 1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.note);
    write_file(file(), c.content);
    EXPECT_EQ(open_failure(), c.message);
    EXPECT_EQ(read_file(file()), c.content);
  }
}

TEST_F(StoreTest, AStateFileThatCannotBeExaminedIsAnErrorNotAbsence) {
  fs::create_directories(dir());
  fs::create_symlink("state.json", file());
  EXPECT_EQ(open_failure(), "io: " + os_text(ELOOP));
  EXPECT_TRUE(fs::is_symlink(file()));
}

TEST_F(StoreTest, ADirectoryThatCannotBeMadeIsAnIoError) {
  write_file(home_ / "Library", "a file where a directory belongs");
  EXPECT_EQ(open_failure(), "io: " + os_text(ENOTDIR));
}

TEST_F(StoreTest, AChangeWhoseReadOrSaveFailsChangesNothing) {
  struct Case {
    std::string note;
    std::function<void(const fs::path& dir)> damage;
    std::function<StoreResult<void>(Store&, const core::ProjectId& kept)> change;
    std::string message;
  };
  const auto damaged_file = [](const fs::path& dir) {
    write_file(dir / "state.json", "{\"projects\": [");
  };
  // A temporary name taken by a non-empty directory cannot be replaced.
  const auto temporary_name_taken = [](const fs::path& dir) {
    fs::create_directories(dir / ".state.json.tmp" / "occupied");
  };
  const auto add = [](Store& store, const core::ProjectId&) {
    return store.add_project(make_project("new", "/new"));
  };
  const auto remove = [](Store& store, const core::ProjectId& kept) {
    return store.remove_project(kept);
  };
  const auto set_base = [](Store& store, const core::ProjectId& kept) {
    return store.set_quick_base(kept, "dev");
  };
  const std::string list_eof = "json: EOF while parsing a list at line 1 column 14";
  const Case cases[] = {
      {"damaged meanwhile, add", damaged_file, add, list_eof},
      {"damaged meanwhile, remove", damaged_file, remove, list_eof},
      {"damaged meanwhile, quick base", damaged_file, set_base, list_eof},
      {"save fails, add", temporary_name_taken, add, "io: " + os_text(EEXIST)},
      {"save fails, remove", temporary_name_taken, remove, "io: " + os_text(EEXIST)},
      {"save fails, quick base", temporary_name_taken, set_base, "io: " + os_text(EEXIST)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.note);
    fs::remove_all(dir());
    Store store = open();
    const core::Project kept = make_project("kept", "/kept");
    ASSERT_TRUE(store.add_project(kept));
    const std::string in_memory = write_state(store.data()).value();
    c.damage(dir());
    const std::string on_disk = read_file(file());

    const auto failed = c.change(store, kept.id);
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.error().message(), c.message);
    EXPECT_EQ(write_state(store.data()).value(), in_memory);
    EXPECT_EQ(read_file(file()), on_disk);
  }
}

TEST_F(StoreTest, APathThatIsNotUtf8IsAJsonErrorAndTheFileIsNotTouched) {
  Store store = open();
  ASSERT_TRUE(store.add_project(make_project("kept", "/kept")));
  const std::string before = read_file(file());
  const auto failed = store.add_project(make_project("bad", "/u/\xFF"));
  ASSERT_FALSE(failed);
  EXPECT_EQ(failed.error().kind(), StoreError::Kind::Json);
  EXPECT_EQ(failed.error().message(), "json: path contains invalid UTF-8 characters");
  EXPECT_EQ(read_file(file()), before);
}

TEST_F(StoreTest, SavingKeepsThePermissionBitsAndTheOwnerOfTheFile) {
  Store store = open();
  ASSERT_TRUE(store.add_project(make_project("a", "/a")));
  fs::permissions(file(), fs::perms::owner_read | fs::perms::owner_write);
  // Run as root, a save must not hand another user's file to root.
  struct stat before {};
  ASSERT_EQ(::stat(file().c_str(), &before), 0);
  if (geteuid() == 0) {
    ASSERT_EQ(::chown(file().c_str(), kOtherUser, kOtherUser), 0);
    before.st_uid = before.st_gid = kOtherUser;
  }
  ASSERT_TRUE(store.add_project(make_project("b", "/b")));
  EXPECT_EQ(fs::status(file()).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  struct stat after {};
  ASSERT_EQ(::stat(file().c_str(), &after), 0);
  EXPECT_EQ(after.st_uid, before.st_uid);
  EXPECT_EQ(after.st_gid, before.st_gid);
}

TEST_F(StoreTest, ADirectoryThatRefusesNewFilesGetsTheFileWrittenInPlace) {
  struct Case {
    std::string note;
    fs::perms file_mode;
    int status;
  };
  // The child's exit status: 0 saved, 1 refused with "Permission denied", 2 anything else.
  const Case cases[] = {
      {"writable file", fs::perms::all, 0},
      {"read-only file", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read, 1},
  };
  fs::permissions(home_.path(), fs::perms::all);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.note);
    fs::remove_all(dir());
    ASSERT_TRUE(open().add_project(make_project("kept", "/kept")));
    const std::string before = read_file(file());
    fs::permissions(file(), c.file_mode);
    fs::permissions(dir(), fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                               fs::perms::group_exec | fs::perms::others_read |
                               fs::perms::others_exec);

    EXPECT_EQ(in_unprivileged_child([] {
                Store store = open();
                const auto added = store.add_project(make_project("new", "/new"));
                if (added) {
                  return 0;
                }
                return added.error().message() == "io: " + os_text(EACCES) ? 1 : 2;
              }),
              c.status);
    fs::permissions(dir(), fs::perms::all);
    const std::string after = read_file(file());
    EXPECT_EQ(after.find("\"name\": \"new\"") != std::string::npos, c.status == 0) << after;
    if (c.status != 0) {
      EXPECT_EQ(after, before);
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir()), fs::directory_iterator()), 1);
  }
}

TEST_F(StoreTest, SavingThroughASymbolicLinkKeepsTheLinkAndWritesItsTarget) {
  Store first = open();
  ASSERT_TRUE(first.add_project(make_project("kept", "/kept")));
  const fs::path target = home_ / "dotfiles/orvo-state.json";
  fs::create_directories(target.parent_path());
  fs::rename(file(), target);
  fs::create_symlink(target, file());

  Store store = open();
  ASSERT_EQ(store.data().projects.size(), 1u);
  ASSERT_TRUE(store.add_project(make_project("new", "/new")));
  EXPECT_TRUE(fs::is_symlink(file()));
  EXPECT_NE(read_file(target).find("\"name\": \"new\""), std::string::npos);
  EXPECT_EQ(std::distance(fs::directory_iterator(target.parent_path()), fs::directory_iterator()),
            1)
      << "a temporary file was left behind";
}

// The names of the projects in the state file `file`.
std::string stored_names(const fs::path& file) {
  const StoreData data = read_state(read_file(file)).value();
  std::string out;
  for (const core::Project& p : data.projects) {
    out += p.name + " ";
  }
  return out;
}

TEST_F(StoreTest, LinksToAFileNotWrittenYetKeepTheLinkAndGetTheirTargetWritten) {
  struct Case {
    std::string note;
    fs::path link_to;  // where state.json links to, absolute or from the link's folder
    fs::path target;   // the file written in the end
  };
  const fs::path dots = home_ / "dotfiles";
  const Case cases[] = {
      {"absolute", dots / "orvo.json", dots / "orvo.json"},
      {"relative", "../../../dotfiles/orvo.json", dots / "orvo.json"},
      {"a link to a link", dots / "hop.json", dots / "orvo.json"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.note);
    fs::remove_all(dir());
    fs::remove_all(dots);
    fs::create_directories(dir());
    fs::create_directories(dots);
    fs::create_symlink(c.link_to, file());
    fs::create_symlink("orvo.json", dots / "hop.json");

    Store store = open();
    EXPECT_TRUE(store.data().projects.empty());
    ASSERT_TRUE(store.add_project(make_project("new", "/new")));
    EXPECT_EQ(fs::read_symlink(file()), c.link_to);
    EXPECT_EQ(stored_names(c.target), "new ");
    EXPECT_EQ(std::distance(fs::directory_iterator(dots), fs::directory_iterator()), 2)
        << "the target and the second link, no temporary file";
    EXPECT_EQ(open().data().projects.size(), 1U);
  }
}

TEST_F(StoreTest, ALinkIntoAMissingFolderStartsEmptyAndFailsToSaveWritingNothing) {
  fs::create_directories(dir());
  const fs::path target = home_ / "missing" / "dotfiles" / "orvo.json";
  fs::create_symlink(target, file());
  Store store = open();
  EXPECT_TRUE(store.data().projects.empty());
  const auto added = store.add_project(make_project("new", "/new"));
  ASSERT_FALSE(added);
  EXPECT_EQ(added.error().message(), "io: " + os_text(ENOENT));
  EXPECT_TRUE(store.data().projects.empty());
  EXPECT_EQ(fs::read_symlink(file()), target);
  EXPECT_FALSE(fs::exists(home_ / "missing"));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir()), fs::directory_iterator()), 1);

  // A link that leads back to itself cannot be followed.
  fs::remove(file());
  fs::create_symlink("state.json", file());
  EXPECT_EQ(open_failure(), "io: " + os_text(ELOOP));
}

TEST_F(StoreTest, TwoHomesLinkingOneFileWaitForEachOtherAndLoseNothing) {
  const fs::path shared = home_ / "dotfiles" / "orvo.json";
  const fs::path first_link = home_ / "first" / "state.json";
  const fs::path second_link = home_ / "second" / "state.json";
  fs::create_directories(shared.parent_path());
  fs::create_directories(first_link.parent_path());
  fs::create_directories(second_link.parent_path());
  fs::create_symlink(shared, first_link);
  fs::create_symlink("../dotfiles/orvo.json", second_link);
  ASSERT_TRUE(Store::open_at(shared).value().add_project(make_project("kept", "/kept")));
  Store second = Store::open_at(second_link).value();

  // The first run's change through the first home's link, between its read and its write: it
  // holds the state file's lock.
  std::optional<DirLock> held;
  held.emplace(DirLock::take(shared.parent_path(), DirLock::Mode::Exclusive).value());
  StoreData read = read_state(read_file(first_link)).value();

  // The second run's change, through the other home's link, waits until the first has written.
  std::promise<bool> added;
  std::future<bool> second_added = added.get_future();
  std::thread other(
      [&] { added.set_value(second.add_project(make_project("b", "/b")).has_value()); });
  const bool waited = second_added.wait_for(std::chrono::seconds(1)) == std::future_status::timeout;
  read.projects.push_back(make_project("a", "/a"));
  write_file(first_link, write_state(read).value());
  held.reset();
  other.join();

  EXPECT_TRUE(waited) << "the second run did not wait for the state file's lock";
  EXPECT_TRUE(second_added.get());
  EXPECT_EQ(stored_names(shared), "kept a b ");
  EXPECT_EQ(std::distance(fs::directory_iterator(shared.parent_path()), fs::directory_iterator()),
            1);
}

TEST_F(StoreTest, TwoStoresOnTwoThreadsAddingAtOnceLoseNothing) {
  constexpr int kEach = 10;
  Store first = open();
  Store second = open();
  const auto add_all = [](Store& store, const std::string& prefix) {
    for (int i = 0; i < kEach; ++i) {
      const std::string name = prefix + std::to_string(i);
      if (!store.add_project(make_project(name, "/" + name))) {
        return;
      }
    }
  };
  std::thread a(add_all, std::ref(first), "a");
  std::thread b(add_all, std::ref(second), "b");
  a.join();
  b.join();
  EXPECT_EQ(open().data().projects.size(), 2u * kEach);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir()), fs::directory_iterator()), 1);
}

TEST_F(StoreTest, ALongLivedStoreKeepsWhatAnotherStoreChanged) {
  const auto names = [](const Store& store) {
    std::string out;
    for (const core::Project& p : store.data().projects) {
      out += p.name + (p.quick_base ? "=" + *p.quick_base : "") + " ";
    }
    return out;
  };
  Store lasting = open();
  Store other = open();
  const core::Project a = make_project("a", "/a");
  const core::Project b = make_project("b", "/b");
  ASSERT_TRUE(other.add_project(a));
  ASSERT_TRUE(lasting.add_project(b));
  EXPECT_EQ(names(lasting), "a=main b=main ");

  // Adding a path another store added meanwhile keeps that store's project.
  ASSERT_TRUE(other.add_project(make_project("c", "/c")));
  ASSERT_TRUE(lasting.add_project(make_project("c again", "/c/")));
  EXPECT_EQ(names(lasting), "a=main b=main c=main ");

  ASSERT_TRUE(other.remove_project(a.id));
  ASSERT_TRUE(lasting.set_quick_base(b.id, "dev"));
  EXPECT_EQ(names(lasting), "b=dev c=main ");
  EXPECT_EQ(names(open()), "b=dev c=main ");

  ASSERT_TRUE(other.add_project(make_project("d", "/d")));
  EXPECT_EQ(names(lasting), "b=dev c=main ");
  ASSERT_TRUE(lasting.reload());
  EXPECT_EQ(names(lasting), "b=dev c=main d=main ");
}

TEST_F(StoreTest, AKilledSaveLeavesTheOldOrTheNewFileAndAtMostOneTemporaryFile) {
  ASSERT_TRUE(open().add_project(make_project("kept", "/kept")));
  for (int round = 0; round < 40; ++round) {
    SCOPED_TRACE(round);
    const pid_t pid = fork();
    if (pid == 0) {
      auto opened = Store::open_default();
      if (!opened) {
        _exit(1);
      }
      Store& store = *opened;
      for (;;) {
        const core::Project p = make_project("p", "/p");
        if (!store.add_project(p) || !store.remove_project(p.id)) {
          _exit(1);
        }
      }
    }
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(std::chrono::microseconds(500 + round * 97 % 2500));
    ASSERT_EQ(kill(pid, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the saving child failed";

    const auto reopened = Store::open_default();
    ASSERT_TRUE(reopened) << reopened.error().message();
    EXPECT_EQ(reopened->data().projects.at(0).name, "kept");
    EXPECT_LE(std::distance(fs::directory_iterator(dir()), fs::directory_iterator()), 2);
  }
  ASSERT_TRUE(open().remove_project(core::ProjectId::create()));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir()), fs::directory_iterator()), 1);
}

TEST_F(StoreTest, AStateFileWithFarDatesLoadsAndSavesBackUnchanged) {
  for (const char* date :
       {"0001-01-01T00:00:00Z", "0000-01-01T00:00:00Z", "9999-12-31T23:59:59.999999999Z"}) {
    SCOPED_TRACE(date);
    fs::remove_all(dir());
    Store store = open();
    ASSERT_TRUE(store.add_project(make_project("far", "/far")));
    const std::string text = test::replaced(read_file(file()), "2024-05-06T07:08:09Z", date);
    write_file(file(), text);
    ASSERT_TRUE(open().remove_project(core::ProjectId::create()));
    EXPECT_EQ(read_file(file()), text);
  }
}

TEST(StoreDataDir, IsUnderTheHomeDirectoryFromHomeElseTheUserDatabase) {
  {
    const ScopedEnv home("HOME", "/h/o\xE9me/");
    EXPECT_EQ(Store::data_dir().native(), "/h/o\xE9me/Library/Application Support/orvo");
  }
  const ScopedEnv empty("HOME", "");
  const passwd* entry = getpwuid(getuid());
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(Store::data_dir(), fs::path(entry->pw_dir) / "Library/Application Support/orvo");
}

TEST(StoreDataDirDeathTest, WithoutAnyHomeIsOrvoInTheWorkingDirectory) {
  if (geteuid() != 0) {
    GTEST_SKIP() << "needs to switch to a user id the user database does not know";
  }
  uid_t unknown = 54321;
  while (getpwuid(unknown) != nullptr) {
    ++unknown;
  }
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        unsetenv("HOME");
        if (setuid(unknown) != 0) {
          _exit(2);
        }
        std::fprintf(stderr, "[%s]", Store::data_dir().c_str());
        _exit(0);
      },
      testing::ExitedWithCode(0), "\\[\\./orvo\\]");
}

TEST(StoreError, TextsDebugFormsAndGeneralErrors) {
  struct Case {
    StoreError error;
    std::string message;
    std::string debug;
    std::string report;
  };
  const std::string enoent = os_text(ENOENT);
  const std::string eacces = os_text(EACCES);
  const Case cases[] = {
      {StoreError::io(IoError::os(ENOENT)), "io: " + enoent,
       "Io(Os { code: 2, kind: NotFound, message: \"No such file or directory\" })",
       "io: " + enoent + "\n\nCaused by:\n    " + enoent},
      {StoreError::io(IoError::os(EACCES)), "io: " + eacces,
       "Io(Os { code: 13, kind: PermissionDenied, message: \"Permission denied\" })",
       "io: " + eacces + "\n\nCaused by:\n    " + eacces},
      {StoreError::io(IoError::invalid_utf8()), "io: stream did not contain valid UTF-8",
       "Io(Error { kind: InvalidData, message: \"stream did not contain valid UTF-8\" })",
       "io: stream did not contain valid UTF-8\n\nCaused by:\n    stream did not contain valid "
       "UTF-8"},
      {StoreError::json(JsonError("missing field `prefs`", 1, 15)),
       "json: missing field `prefs` at line 1 column 15",
       "Json(Error(\"missing field `prefs`\", line: 1, column: 15))",
       "json: missing field `prefs` at line 1 column 15\n\nCaused by:\n    missing field `prefs` "
       "at line 1 column 15"},
      {StoreError::json(JsonError("path contains invalid UTF-8 characters")),
       "json: path contains invalid UTF-8 characters",
       "Json(Error(\"path contains invalid UTF-8 characters\", line: 0, column: 0))",
       "json: path contains invalid UTF-8 characters\n\nCaused by:\n    path contains invalid "
       "UTF-8 characters"},
      {StoreError::not_found(), "project not found", "NotFound", "project not found"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    EXPECT_EQ(c.error.message(), c.message);
    EXPECT_EQ(c.error.debug(), c.debug);
    EXPECT_EQ(c.error.to_error().message(), c.message);
    EXPECT_EQ(c.error.to_error().report(), c.report);
    EXPECT_EQ(c.error.source().has_value(), c.error.kind() != StoreError::Kind::NotFound);
  }
}

}  // namespace
}  // namespace orvo::store
