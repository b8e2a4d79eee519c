#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

#include <tl/expected.hpp>

#include "orvo_sys/os_error.hpp"
#include "orvo_sys/process.hpp"
#include "orvo_sys/unique_fd.hpp"

namespace orvo::sys {

// A child started without waiting whose standard error comes to the parent through a pipe.
struct ChildWithStderr {
  pid_t pid = 0;  // for information only: the child is reaped in the background
  UniqueFd err;   // the read end of the pipe, closed on exec
};

// Starts `command` with standard input and output on the null device and standard error into a
// pipe whose read end is returned, and does not wait for it; as with `spawn_detached`, a
// background thread reaps it when it ends. Fails when the pipe cannot be made or the child
// cannot be started.
[[nodiscard]] tl::expected<ChildWithStderr, ProcessError> spawn_detached_with_stderr(
    const Command& command);

// Whether a pipe's writers are all gone once what it held has been read.
enum class PipeEnd { Open, Ended };

// Appends what the pipe `fd` (an open descriptor) holds now to `sink`, at most `limit` bytes,
// without waiting for more; `Ended` once every writer has closed it and nothing is left. Fails
// when reading fails.
[[nodiscard]] tl::expected<PipeEnd, OsError> read_available(int fd, std::string& sink,
                                                            std::size_t limit);

}  // namespace orvo::sys
