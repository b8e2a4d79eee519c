// The tests' tmux pane: the programs run there, Orvo among them, start in an environment of
// their own that still carries the sanitizers' settings and a UTF-8 locale the system has, and
// a shell there that runs no program gives no process to signal.

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "e2e/run_orvo.hpp"
#include "support/environment.hpp"
#include "support/temp_dir.hpp"
#include "support/tmux.hpp"

namespace orvo::test {
namespace {

TEST(PaneEnvironment, CarriesTheSanitizersSettingsAndTheUtf8Locale) {
  const ScopedEnv asan("ASAN_OPTIONS", "abort_on_error=1");
  const ScopedEnv ubsan("UBSAN_OPTIONS", "halt_on_error=1");
  const ScopedEnv nano("MallocNanoZone", "0");
  const ScopedEnv other("ORVO_TEST_NOT_PASSED", "x");
  Tmux tmux({"sh", "-c",
             "echo \"[$ASAN_OPTIONS|$UBSAN_OPTIONS|$MallocNanoZone|$LANG|"
             "${ORVO_TEST_NOT_PASSED-unset}]\"; exec sleep 30"});
  EXPECT_TRUE(
      tmux.wait_for_text("[abort_on_error=1|halt_on_error=1|0|" + utf8_locale_name() + "|unset]"))
      << tmux.capture();
}

TEST(PaneProgram, IsNoneWhenTheShellRunsNothing) {
  Tmux tmux({"sh", "-c", "echo ready; exec sleep 30"});
  ASSERT_TRUE(tmux.wait_for_text("ready")) << tmux.capture();
  EXPECT_THROW(static_cast<void>(orvo_pid(tmux)), std::runtime_error);
}

}  // namespace
}  // namespace orvo::test
