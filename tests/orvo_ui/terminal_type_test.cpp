#include "orvo_ui/terminal_type.hpp"

#include <gtest/gtest.h>

#include <string>

#include "orvo_ui/terminal_fixture.hpp"

namespace orvo::ui {
namespace {

TEST(ChooseTerminalType, FallsBackOnlyWhereTermNamesNoDescribedType) {
  constexpr const char* kNoSuchType = "orvo-no-such-terminal";
  struct Case {
    const char* what;
    const char* term;
    const char* fallback;
    std::string chosen;  // or the error's message
  } const cases[] = {
      {"a described type", "screen", kFallbackTerminalType, "screen"},
      {"unset", nullptr, kFallbackTerminalType, "xterm-256color"},
      {"empty", "", kFallbackTerminalType, "xterm-256color"},
      {"no description here", kNoSuchType, kFallbackTerminalType, "xterm-256color"},
      {"no cursor addressing", "dumb", kFallbackTerminalType,
       "terminal type \"dumb\" cannot place the cursor"},
      {"unset, no fallback either", nullptr, kNoSuchType, "TERM is not set"},
      {"no description and no fallback either", "orvo-other", kNoSuchType,
       "unknown terminal type \"orvo-other\""},
      {"a fallback without cursor addressing", kNoSuchType, "dumb",
       "terminal type \"dumb\" cannot place the cursor"},
  };
  Pty pty(20, 5);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto chosen = choose_terminal_type(c.term, pty.config().output_fd, c.fallback);
    EXPECT_EQ(chosen ? *chosen : chosen.error().message(), c.chosen);
  }
  EXPECT_EQ(pty.take_output(), "") << "looking types up writes nothing";
}

}  // namespace
}  // namespace orvo::ui
