#include "orvo_git/exec.hpp"

#include "orvo_core/path.hpp"
#include "orvo_sys/process.hpp"
#include "orvo_sys/text.hpp"

namespace orvo::git {
namespace {

GitError start_error(const sys::ProcessError& error, const std::filesystem::path& cwd) {
  switch (error.kind) {
    case sys::ProcessError::Kind::ProgramNotFound:
      return GitError::git_not_found();
    case sys::ProcessError::Kind::DirectoryMissing:
      return GitError::not_a_repo(core::display(cwd));
    case sys::ProcessError::Kind::Other:
      break;
  }
  return GitError::io(error.os);
}

// Valid output, the common case, is handed on without copying.
std::string into_text(std::string&& bytes) {
  if (sys::is_valid_utf8(bytes)) {
    return std::move(bytes);
  }
  return sys::lossy_utf8(bytes);
}

GitError run_error(sys::Output&& output) {
  const std::string err = into_text(std::move(output.err));
  return GitError::command_failed(output.status.code().value_or(-1),
                                  std::string(sys::trim_white_space(err)));
}

}  // namespace

GitResult<std::string> git_bytes(const std::filesystem::path& cwd,
                                 const std::vector<std::string>& args) {
  auto output = sys::run_and_capture({.program = "git", .args = args, .cwd = cwd, .env = {}});
  if (!output) {
    return tl::unexpected(start_error(output.error(), cwd));
  }
  if (output->status.raw != 0) {
    return tl::unexpected(run_error(std::move(*output)));
  }
  return std::move(output->out);
}

GitResult<std::string> git(const std::filesystem::path& cwd, const std::vector<std::string>& args) {
  return git_bytes(cwd, args).map([](std::string&& bytes) { return into_text(std::move(bytes)); });
}

GitResult<void> git_ok(const std::filesystem::path& cwd, const std::vector<std::string>& args) {
  return git_bytes(cwd, args).map([](const std::string&) {});
}

}  // namespace orvo::git
