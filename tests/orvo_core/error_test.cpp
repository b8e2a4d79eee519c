#include "orvo_core/error.hpp"

#include <gtest/gtest.h>

namespace orvo::core {
namespace {

TEST(ErrorReport, LaysOutTheChainOfCauses) {
  struct Case {
    Error error;
    std::string report;
  };
  const Case cases[] = {
      {Error("git failed (128): fatal: not a git repository"),
       "git failed (128): fatal: not a git repository"},
      {Error("io: No such file or directory (os error 2)",
             {"No such file or directory (os error 2)"}),
       "io: No such file or directory (os error 2)\n\nCaused by:\n"
       "    No such file or directory (os error 2)"},
      {Error("outer", {"spawn editor zed", "middle", "No such file or directory (os error 2)"}),
       "outer\n\nCaused by:\n    0: spawn editor zed\n    1: middle\n"
       "    2: No such file or directory (os error 2)"},
      {Error("outer", {"cause a\nsecond"}), "outer\n\nCaused by:\n    cause a\n    second"},
      {Error("outer", {"cause a\nsecond\n\nfourth\n", "c"}),
       "outer\n\nCaused by:\n    0: cause a\n       second\n       \n       fourth\n       \n"
       "    1: c"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.report);
    EXPECT_EQ(c.error.report(), c.report);
  }
}

TEST(ErrorReport, NumbersTwoDigitIndicesInFiveColumns) {
  std::vector<std::string> causes(12, "x");
  const std::string report = Error("m", causes).report();
  EXPECT_NE(report.find("\n    9: x\n   10: x\n   11: x"), std::string::npos) << report;
}

TEST(ErrorContext, PutsTheOldErrorFirstAmongTheCauses) {
  const Error inner("No such file or directory (os error 2)");
  const Error outer = inner.context("spawn editor zed").context("editor failed");
  EXPECT_EQ(outer.message(), "editor failed");
  EXPECT_EQ(outer.causes(), (std::vector<std::string>{"spawn editor zed",
                                                      "No such file or directory (os error 2)"}));
}

}  // namespace
}  // namespace orvo::core
