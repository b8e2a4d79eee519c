#pragma once

#include <optional>
#include <string>
#include <utility>

#include <tl/expected.hpp>

#include "orvo_core/error.hpp"
#include "orvo_sys/os_error.hpp"

namespace orvo::git {

// The failure of a git operation: one kind with its payload and its fixed display text.
class GitError {
 public:
  enum class Kind {
    GitNotFound,    // "git not found on PATH"
    NotARepo,       // "not a git repository: {}" with the text
    CommandFailed,  // "git failed ({}): {}" with the status, then git's trimmed stderr
    Io,             // "io: {}" with the operating system's text
    Other,          // "{}", the text alone
  };

  [[nodiscard]] static GitError git_not_found();
  [[nodiscard]] static GitError not_a_repo(std::string text);
  // `status` is git's exit code, or -1 when a signal ended it.
  [[nodiscard]] static GitError command_failed(int status, std::string stderr_text);
  [[nodiscard]] static GitError io(sys::OsError error);
  [[nodiscard]] static GitError other(std::string text);

  [[nodiscard]] Kind kind() const { return kind_; }
  // The payload text: the directory of `NotARepo`, the message of `Other`, git's trimmed standard
  // error of `CommandFailed`; empty for the other kinds.
  [[nodiscard]] const std::string& text() const { return text_; }
  // `CommandFailed`: git's exit code, -1 when a signal ended it; 0 for the other kinds.
  [[nodiscard]] int status() const { return status_; }
  // `CommandFailed`: git's trimmed standard error (the same as `text()`).
  [[nodiscard]] const std::string& stderr_text() const { return text_; }
  // The cause: the operating-system error of `Io`, nothing for every other kind.
  [[nodiscard]] std::optional<sys::OsError> source() const;

  // The display text the user reads.
  [[nodiscard]] std::string message() const;
  // The structural form for diagnostics, such as `CommandFailed { status: 1, stderr: "x" }`;
  // `pretty` puts each field on its own indented line.
  [[nodiscard]] std::string debug(bool pretty = false) const;

  // The general error value: this error's message, with its source as the one cause.
  [[nodiscard]] core::Error to_error() const;
  // Lets a `GitResult<T>` be returned where a `core::Result<T>` is expected.
  operator core::Error() const { return to_error(); }  // NOLINT(google-explicit-constructor)

  friend bool operator==(const GitError& a, const GitError& b);

 private:
  GitError(Kind kind, std::string text, int status, sys::OsError os)
      : kind_(kind), text_(std::move(text)), status_(status), os_(os) {}

  Kind kind_;
  std::string text_;
  int status_ = 0;
  sys::OsError os_;
};

template <class T>
using GitResult = tl::expected<T, GitError>;

}  // namespace orvo::git
