#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "orvo_sys/portable.hpp"
#include "support/temp_dir.hpp"

namespace {

// Puts an `osascript` first on the search path that records its call and fails, so that no test
// can reach the system's own (on macOS it would open Terminal windows); tests put their recording
// fake before it. Returns the file a call is recorded in.
std::filesystem::path guard_osascript(const orvo::test::TempDir& dir) {
  const std::filesystem::path reached = dir / "reached";
  orvo::test::write_file(dir / "bin" / "osascript",
                         "#!/bin/sh\nprintf '%s\\n' \"$*\" >> '" + reached.string() +
                             "'\necho 'osascript: a test reached the real osascript' >&2\nexit 1\n",
                         true);
  const char* path = std::getenv("PATH");
  const std::string guarded =
      (dir / "bin").string() + ":" + (path != nullptr ? path : "/usr/bin:/bin");
  setenv("PATH", guarded.c_str(), 1);
  return reached;
}

}  // namespace

// Every test process runs git sandboxed from the user's configuration, with a fixed identity
// and fixed dates, so repositories made by tests are reproducible, and with the temporary folder
// that holds every test's own folders as the ceiling of git's search for a repository, so that a
// test's folder is in no repository wherever that folder lies (inside another repository, or on
// a volume whose boundary git would report in other words). Text is measured under a UTF-8
// character type, as the interface runs.
int main(int argc, char** argv) {
  if (!orvo::sys::use_utf8_ctype()) {
    std::fputs("the tests need a UTF-8 locale\n", stderr);
    return 1;
  }
  const std::filesystem::path temporary_root =
      std::filesystem::canonical(std::filesystem::temp_directory_path());
  setenv("GIT_CEILING_DIRECTORIES", temporary_root.c_str(), 1);
  setenv("GIT_CONFIG_NOSYSTEM", "1", 1);
  setenv("GIT_CONFIG_GLOBAL", "/dev/null", 1);
  setenv("GIT_AUTHOR_NAME", "Orvo Test", 1);
  setenv("GIT_AUTHOR_EMAIL", "test@orvo.invalid", 1);
  setenv("GIT_COMMITTER_NAME", "Orvo Test", 1);
  setenv("GIT_COMMITTER_EMAIL", "test@orvo.invalid", 1);
  setenv("GIT_AUTHOR_DATE", "2026-01-02T03:04:05Z", 1);
  setenv("GIT_COMMITTER_DATE", "2026-01-02T03:04:05Z", 1);
  setenv("TZ", "UTC", 1);
  unsetenv("RUST_LOG");
  const orvo::test::TempDir guard;
  const std::filesystem::path reached = guard_osascript(guard);
  testing::InitGoogleTest(&argc, argv);
  const int status = RUN_ALL_TESTS();
  if (std::filesystem::exists(reached)) {
    std::fprintf(stderr, "a test ran osascript without its own fake first on PATH:\n%s",
                 orvo::test::read_file(reached).c_str());
    return 1;
  }
  return status;
}
