#include "orvo_sys/portable.hpp"

#include <fcntl.h>
#include <langinfo.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/select.h>
#include <unistd.h>
#if defined(__APPLE__)
#include <Availability.h>
#endif

#include <cerrno>
#include <clocale>
#include <cstring>
#include <string_view>

namespace orvo::sys {
namespace {

// glibc's strerror_r (the GNU form) returns the text, which may be a static string rather than
// the buffer.
[[maybe_unused]] const char* strerror_result(const char* text, const char* /*buffer*/) {
  return text;
}

// macOS's strerror_r (the POSIX form) fills the buffer and returns 0 or an error number.
[[maybe_unused]] const char* strerror_result(int status, const char* buffer) {
  return status == 0 ? buffer : "Unknown error";
}

// Debian has C.UTF-8; macOS has no C.UTF-8 but a plain "UTF-8" character type.
constexpr const char* kUtf8Locales[] = {"C.UTF-8", "UTF-8", "en_US.UTF-8"};

// macOS has no pipe2: the pipe first, then the flag on each end. Orvo starts children from one
// thread only, so no child can be started between the two. Compiled everywhere, so that every
// build checks it.
[[maybe_unused]] int pipe_then_cloexec(int (&fds)[2]) {
  if (::pipe(fds) != 0) {
    return errno;
  }
  for (const int fd : fds) {
    if (::fcntl(fd, F_SETFD, FD_CLOEXEC) != 0) {
      const int error = errno;
      ::close(fds[0]);
      ::close(fds[1]);
      return error;
    }
  }
  return 0;
}

#if defined(F_FULLFSYNC)
int full_fsync(int fd) {
  return ::fcntl(fd, F_FULLFSYNC);
}
constexpr int (*kFullSync)(int) = full_fsync;
#else
constexpr int (*kFullSync)(int) = nullptr;
#endif

bool ctype_is_utf8() {
  return std::string_view(nl_langinfo(CODESET)) == "UTF-8";
}

}  // namespace

int open_cloexec_pipe(int (&fds)[2]) {
#if defined(__linux__)
  return ::pipe2(fds, O_CLOEXEC) == 0 ? 0 : errno;
#else
  return pipe_then_cloexec(fds);
#endif
}

std::string error_text(int code) {
  char buffer[256] = {};
  return strerror_result(strerror_r(code, buffer, sizeof buffer), buffer);
}

bool terminal_hung_up(int fd) {
  // select, not poll: macOS's poll does not work on terminal devices (it reports POLLNVAL).
  if (fd < 0 || fd >= FD_SETSIZE) {
    return false;
  }
  fd_set ready;
  FD_ZERO(&ready);
  FD_SET(fd, &ready);
  timeval now{0, 0};
  if (::select(fd + 1, &ready, nullptr, nullptr, &now) != 1) {
    return false;
  }
  int waiting = 0;
  return ::ioctl(fd, FIONREAD, &waiting) != 0 || waiting == 0;
}

int add_chdir_action(posix_spawn_file_actions_t* actions, const char* path) {
  // macOS 26 names it without the suffix and deprecates the suffixed name, which every system
  // before it and glibc have.
#if defined(__MAC_OS_X_VERSION_MIN_REQUIRED) && __MAC_OS_X_VERSION_MIN_REQUIRED >= 260000
  return posix_spawn_file_actions_addchdir(actions, path);
#else
  return posix_spawn_file_actions_addchdir_np(actions, path);
#endif
}

int sync_to_disk(int fd) {
  return sync_to_disk(fd, kFullSync);
}

int sync_to_disk(int fd, int (*full_sync)(int fd)) {
  if (full_sync != nullptr && full_sync(fd) == 0) {
    return 0;
  }
  return ::fsync(fd) == 0 ? 0 : errno;
}

bool use_utf8_ctype() {
  std::setlocale(LC_CTYPE, "");
  if (ctype_is_utf8()) {
    return true;
  }
  for (const char* name : kUtf8Locales) {
    if (std::setlocale(LC_CTYPE, name) != nullptr && ctype_is_utf8()) {
      return true;
    }
  }
  return false;
}

locale_t utf8_locale() {
  static const locale_t utf8 = [] {
    for (const char* name : kUtf8Locales) {
      if (const locale_t made = newlocale(LC_CTYPE_MASK, name, static_cast<locale_t>(0));
          made != static_cast<locale_t>(0)) {
        return made;
      }
    }
    return static_cast<locale_t>(0);
  }();
  return utf8;
}

}  // namespace orvo::sys
