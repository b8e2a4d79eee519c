#include "osascript/script.hpp"

#include <gtest/gtest.h>

namespace orvo::osascript {
namespace {

TEST(DecodeTerminalScript, GivesTheStringsCommandLine) {
  struct Case {
    std::string_view script;
    std::string_view line;
  };
  const Case cases[] = {
      {R"(tell application "Terminal" to do script "cd '/tmp/wt/feat-x' && 'pi'")",
       "cd '/tmp/wt/feat-x' && 'pi'"},
      {R"(tell application "Terminal" to do script "cd '/tmp/it'\\''s' && 'pi'")",
       R"(cd '/tmp/it'\''s' && 'pi')"},
      {R"(tell application "Terminal" to do script "cd '/tmp/a \"b\" \\c' && 'pi'")",
       R"(cd '/tmp/a "b" \c' && 'pi')"},
      {R"(tell application "Terminal" to do script "a\nb\tc\rd")", "a\nb\tc\rd"},
      {R"(tell application "Terminal" to do script "")", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    const auto line = decode_terminal_script(c.script);
    ASSERT_TRUE(line.has_value()) << line.error();
    EXPECT_EQ(*line, c.line);
  }
}

}  // namespace
}  // namespace orvo::osascript
