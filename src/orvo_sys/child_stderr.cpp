#include "orvo_sys/child_stderr.hpp"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <utility>

#include "orvo_sys/portable.hpp"

namespace orvo::sys {
namespace {

constexpr std::size_t kReadChunk = 4096;

// Whether a read of `fd` returns at once: bytes wait in it, or its writers are gone.
tl::expected<bool, OsError> readable_now(int fd) {
  pollfd watched{fd, POLLIN, 0};
  for (;;) {
    const int ready = ::poll(&watched, 1, 0);
    if (ready >= 0) {
      if ((watched.revents & POLLNVAL) != 0) {
        return tl::unexpected(OsError{EBADF});
      }
      return ready > 0;
    }
    if (errno != EINTR) {
      return tl::unexpected(OsError::last());
    }
  }
}

}  // namespace

tl::expected<ChildWithStderr, ProcessError> spawn_detached_with_stderr(const Command& command) {
  int fds[2];
  if (const int error = open_cloexec_pipe(fds); error != 0) {
    return tl::unexpected(ProcessError{ProcessError::Kind::Other, OsError{error}});
  }
  UniqueFd read_end(fds[0]);
  const UniqueFd write_end(fds[1]);
  const auto pid = spawn_detached(
      command,
      {.in = StdStreams::kNullDevice, .out = StdStreams::kNullDevice, .err = write_end.get()});
  if (!pid) {
    return tl::unexpected(pid.error());
  }
  // The parent's copy of the write end closes on return, so the pipe ends when the child's does.
  return ChildWithStderr{*pid, std::move(read_end)};
}

tl::expected<PipeEnd, OsError> read_available(int fd, std::string& sink, std::size_t limit) {
  std::array<char, kReadChunk> chunk;
  std::size_t taken = 0;
  while (taken < limit) {
    const auto ready = readable_now(fd);
    if (!ready) {
      return tl::unexpected(ready.error());
    }
    if (!*ready) {
      return PipeEnd::Open;
    }
    const ssize_t n = ::read(fd, chunk.data(), std::min(chunk.size(), limit - taken));
    if (n == 0) {
      return PipeEnd::Ended;
    }
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      return tl::unexpected(OsError::last());
    }
    sink.append(chunk.data(), static_cast<std::size_t>(n));
    taken += static_cast<std::size_t>(n);
  }
  return PipeEnd::Open;
}

}  // namespace orvo::sys
