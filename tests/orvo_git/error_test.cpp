#include "orvo_git/error.hpp"

#include <cerrno>
#include <cstring>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "orvo_git/test_print.hpp"

namespace orvo::git {
namespace {

struct Case {
  GitError error;
  std::string message;
  std::string debug;
  std::string pretty;
};

const Case kCases[] = {
    {GitError::git_not_found(), "git not found on PATH", "GitNotFound", "GitNotFound"},
    {GitError::not_a_repo("/u/src/gone"), "not a git repository: /u/src/gone",
     R"(NotARepo("/u/src/gone"))", "NotARepo(\n    \"/u/src/gone\",\n)"},
    {GitError::command_failed(128, "fatal: not a git repository"),
     "git failed (128): fatal: not a git repository",
     R"(CommandFailed { status: 128, stderr: "fatal: not a git repository" })",
     "CommandFailed {\n    status: 128,\n    stderr: \"fatal: not a git repository\",\n}"},
    // An empty standard error leaves the template's blank after the colon.
    {GitError::command_failed(1, ""),
     "git failed (1): ", R"(CommandFailed { status: 1, stderr: "" })",
     "CommandFailed {\n    status: 1,\n    stderr: \"\",\n}"},
    {GitError::command_failed(-1, "say \"hi\"\\\tnow\x01\xC2\x85\xC3\xA9"),
     "git failed (-1): say \"hi\"\\\tnow\x01\xC2\x85\xC3\xA9",
     R"(CommandFailed { status: -1, stderr: "say \"hi\"\\\tnow\u{1}\u{85})"
     "\xC3\xA9\" }",
     "CommandFailed {\n    status: -1,\n    stderr: \"say \\\"hi\\\"\\\\\\tnow\\u{1}\\u{85}"
     "\xC3\xA9\",\n}"},
    {GitError::io(sys::OsError{ENOENT}), "io: No such file or directory (os error 2)",
     R"(Io(Os { code: 2, kind: NotFound, message: "No such file or directory" }))",
     "Io(\n    Os {\n        code: 2,\n        kind: NotFound,\n"
     "        message: \"No such file or directory\",\n    },\n)"},
    {GitError::io(sys::OsError{EACCES}), "io: Permission denied (os error 13)",
     R"(Io(Os { code: 13, kind: PermissionDenied, message: "Permission denied" }))",
     "Io(\n    Os {\n        code: 13,\n        kind: PermissionDenied,\n"
     "        message: \"Permission denied\",\n    },\n)"},
    {GitError::other("path already exists: /w/feat"), "path already exists: /w/feat",
     R"(Other("path already exists: /w/feat"))",
     "Other(\n    \"path already exists: /w/feat\",\n)"},
};

TEST(GitError, ShowsEachKindInItsTextAndDebugForms) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.message);
    EXPECT_EQ(c.error.message(), c.message);
    EXPECT_EQ(c.error.debug(), c.debug);
    EXPECT_EQ(c.error.debug(true), c.pretty);
  }
}

TEST(GitError, NamesTheCategoryOfAnOperatingSystemError) {
  struct KindCase {
    int code;
    std::string kind;
  };
  const KindCase cases[] = {
      {EDQUOT, "QuotaExceeded"},
      {ESPIPE, "NotSeekable"},
      {ECONNREFUSED, "ConnectionRefused"},
      {EPROTO, "Uncategorized"},
  };
  for (const KindCase& c : cases) {
    SCOPED_TRACE(c.kind);
    EXPECT_EQ(GitError::io(sys::OsError{c.code}).debug(),
              fmt::format("Io(Os {{ code: {}, kind: {}, message: \"{}\" }})", c.code, c.kind,
                          std::strerror(c.code)));
  }
}

TEST(GitError, BecomesAGeneralErrorWithOnlyTheIoErrorAsCause) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.message);
    const core::Error error = c.error.to_error();
    EXPECT_EQ(error.message(), c.message);
    if (c.error.kind() == GitError::Kind::Io) {
      EXPECT_EQ(error.causes(), std::vector<std::string>{c.error.source()->message()});
    } else {
      EXPECT_FALSE(c.error.source());
      EXPECT_TRUE(error.causes().empty());
    }
  }
  EXPECT_EQ(GitError::io(sys::OsError{ENOENT}).to_error().report(),
            "io: No such file or directory (os error 2)\n\nCaused by:\n"
            "    No such file or directory (os error 2)");
}

TEST(GitError, ConvertsWhereAGeneralResultIsExpected) {
  const auto general = [](GitResult<int> result) -> core::Result<int> { return result; };
  EXPECT_EQ(general(7).value(), 7);
  EXPECT_EQ(general(tl::unexpected(GitError::git_not_found())).error().message(),
            "git not found on PATH");
}

}  // namespace
}  // namespace orvo::git
