#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "orvo_sys/portable.hpp"

// Every test process runs git sandboxed from the user's configuration, with a fixed identity
// and fixed dates, so repositories made by tests are reproducible. Text is measured under the
// UTF-8 character type the interface runs in, whatever the locale of the caller.
int main(int argc, char** argv) {
  if (!orvo::sys::use_utf8_ctype()) {
    std::fputs("the tests need a UTF-8 locale\n", stderr);
    return 1;
  }
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
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
