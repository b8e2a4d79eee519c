#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <tl/expected.hpp>

#include "orvo_sys/os_error.hpp"

namespace orvo::sys {

// How to start a child process. `program` is looked up on the search path (PATH) when it holds
// no slash; `args` follow the program name, each one argument, never through a shell; `cwd`
// absent keeps the parent's working directory; `env` adds variables to the inherited
// environment or replaces inherited ones of the same name; `new_session` starts the child as
// the leader of a session of its own, without a controlling terminal.
struct Command {
  std::string program;
  std::vector<std::string> args;
  std::optional<std::filesystem::path> cwd;
  std::vector<std::pair<std::string, std::string>> env;
  bool new_session = false;
};

// What a child gets as its standard input, output and error: `kInherit` keeps the parent's,
// `kNullDevice` the null device, and any other value is a descriptor of the parent's.
struct StdStreams {
  static constexpr int kInherit = -1;
  static constexpr int kNullDevice = -2;

  int in = kInherit;
  int out = kInherit;
  int err = kInherit;
};

// Why a child process could not be started or waited for.
struct ProcessError {
  enum class Kind {
    ProgramNotFound,   // the program is not on the search path, or its path names nothing
    DirectoryMissing,  // the working directory does not exist or is not a directory
    Other,             // everything else, including a NUL byte in a program, argument or path
  };

  Kind kind = Kind::Other;
  OsError os;

  // The operating system's text, "{description} (os error {n})".
  [[nodiscard]] std::string message() const { return os.message(); }
};

// A child's wait status as waitpid reports it.
struct ExitStatus {
  int raw = 0;

  // Whether the child exited with code 0.
  [[nodiscard]] bool success() const;
  // The exit code when the child exited normally.
  [[nodiscard]] std::optional<int> code() const;
  // The signal that terminated the child.
  [[nodiscard]] std::optional<int> signal() const;
};

// The usual text of a wait status: "exit status: {code}"; "signal: {n}" followed by
// " ({NAME})" for a known signal and " (core dumped)" when it dumped core;
// "stopped (not terminated) by signal: {n}" with the name; "continued (WIFCONTINUED)"; else
// "unrecognised wait status: {raw} {raw in hexadecimal}".
[[nodiscard]] std::string exit_status_text(ExitStatus status);

// What a captured run produced.
struct Output {
  ExitStatus status;
  std::string out;
  std::string err;
};

// Runs `command` to its end with standard input from the null device, collecting standard output
// and standard error whole; both pipes are read while the child runs, so a child writing much to
// either never stalls. Fails when the child cannot be started, a pipe cannot be read or the wait
// fails.
[[nodiscard]] tl::expected<Output, ProcessError> run_and_capture(const Command& command);

// Starts `command` with `streams` as its standard streams (by default the parent's) and does
// not wait for it; a background thread reaps it when it ends, so it never lingers as a zombie.
// The returned process id is for information only: do not wait for it. Fails when the child
// cannot be started.
[[nodiscard]] tl::expected<pid_t, ProcessError> spawn_detached(const Command& command,
                                                               const StdStreams& streams = {});

// Runs `command` with `streams` as its standard streams (by default the parent's, so the child
// owns the terminal) and waits for its end. Fails when the child cannot be started or the wait
// fails.
[[nodiscard]] tl::expected<ExitStatus, ProcessError> spawn_and_wait(const Command& command,
                                                                    const StdStreams& streams = {});

}  // namespace orvo::sys
