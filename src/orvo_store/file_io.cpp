#include "orvo_store/file_io.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fmt/format.h>

#include <cerrno>
#include <utility>

#include "orvo_sys/os_error.hpp"
#include "orvo_sys/portable.hpp"
#include "orvo_sys/text.hpp"
#include "orvo_sys/unique_fd.hpp"

namespace orvo::store {
namespace {

constexpr std::string_view kInvalidUtf8 = "stream did not contain valid UTF-8";
// The links one path lookup follows at most on macOS (MAXSYMLINKS); Linux follows 40.
constexpr int kMaxLinks = 32;

tl::unexpected<IoError> last_error() {
  return tl::unexpected(IoError::os(errno));
}

bool is_dir(const std::filesystem::path& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// mkdir that also accepts an existing directory; returns 0 or the error number.
int make_dir(const std::filesystem::path& dir) {
  if (::mkdir(dir.c_str(), 0777) == 0) {
    return 0;
  }
  const int error = errno;
  return error != ENOENT && is_dir(dir) ? 0 : error;
}

IoResult<void> write_all(int fd, std::string_view content) {
  while (!content.empty()) {
    const ssize_t n = ::write(fd, content.data(), content.size());
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      return last_error();
    }
    content.remove_prefix(static_cast<std::size_t>(n));
  }
  return {};
}

// The one temporary name a save of `file` uses.
std::filesystem::path temp_path_for(const std::filesystem::path& file) {
  std::filesystem::path temp = file;
  temp.replace_filename("." + file.filename().string() + ".tmp");
  return temp;
}

// Gives the new file the old one's owner and group when the process runs as root, so that a save
// made as root with a user's HOME does not hand the user's file to root. Only root can give a
// file away; a refusal (a file system without owners) leaves the process's own, as a new file
// has.
void keep_owner(int fd, const struct stat& old) {
  if (::geteuid() == 0) {
    [[maybe_unused]] const int kept = ::fchown(fd, old.st_uid, old.st_gid);
  }
}

// Writes `content` at the file's offset and waits until it is on disk.
IoResult<void> write_durably(int fd, std::string_view content) {
  if (auto written = write_all(fd, content); !written) {
    return written;
  }
  if (const int error = sys::sync_to_disk(fd); error != 0) {
    return tl::unexpected(IoError::os(error));
  }
  return {};
}

// Writes `content` into the open temporary file and makes it durable, with the owner and the
// permission bits of the file it will replace when that exists.
IoResult<void> fill_temp(int fd, const struct stat* old, std::string_view content) {
  if (old != nullptr) {
    keep_owner(fd, *old);
    if (::fchmod(fd, old->st_mode & 07777) != 0) {
      return last_error();
    }
  }
  return write_durably(fd, content);
}

// Writes `content` to the temporary file and renames it over `file`; on failure removes the
// temporary file it made.
IoResult<void> replace_through_temp(const std::filesystem::path& file, const struct stat* old,
                                    std::string_view content) {
  const std::filesystem::path temp = temp_path_for(file);
  // A leftover of a save that was killed; when it cannot be removed, the exclusive create below
  // reports why.
  ::unlink(temp.c_str());
  sys::UniqueFd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
  if (fd.get() < 0) {
    return last_error();
  }
  auto result = fill_temp(fd.get(), old, content);
  if (result && ::close(fd.release()) != 0) {
    result = last_error();
  }
  if (result && ::rename(temp.c_str(), file.c_str()) != 0) {
    result = last_error();
  }
  if (!result) {
    ::unlink(temp.c_str());
  }
  return result;
}

bool is_permission_error(const IoError& error) {
  return error.os_code() == EACCES || error.os_code() == EPERM;
}

// Truncates the open file and writes `content` into it.
IoResult<void> rewrite(int fd, std::string_view content) {
  if (::ftruncate(fd, 0) != 0) {
    return last_error();
  }
  return write_durably(fd, content);
}

// The new content is already in place when this runs; a directory that cannot be synced only
// leaves the rename's durability to the file system's own schedule.
void sync_dir(const std::filesystem::path& dir) {
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
}

}  // namespace

std::string IoError::message() const {
  return code_ ? sys::OsError{*code_}.message() : std::string(kInvalidUtf8);
}

std::string IoError::debug() const {
  if (!code_) {
    return fmt::format("Error {{ kind: InvalidData, message: \"{}\" }}", kInvalidUtf8);
  }
  const sys::OsError os{*code_};
  return fmt::format("Os {{ code: {}, kind: {}, message: \"{}\" }}", *code_, os.kind_name(),
                     os.description());
}

IoResult<void> create_dir_all(const std::filesystem::path& dir) {
  if (dir.empty()) {
    return {};
  }
  const int first = make_dir(dir);
  if (first != ENOENT) {
    return first == 0 ? IoResult<void>{} : tl::unexpected(IoError::os(first));
  }
  const std::filesystem::path parent = dir.parent_path();
  if (parent == dir) {
    return tl::unexpected(IoError::os(first));
  }
  if (auto made = create_dir_all(parent); !made) {
    return made;
  }
  const int second = make_dir(dir);
  return second == 0 ? IoResult<void>{} : tl::unexpected(IoError::os(second));
}

IoResult<bool> file_exists(const std::filesystem::path& file) {
  struct stat st {};
  if (::stat(file.c_str(), &st) == 0) {
    return true;
  }
  if (errno == ENOENT) {
    return false;
  }
  return last_error();
}

IoResult<std::string> read_text(const std::filesystem::path& file) {
  const sys::UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) {
    return last_error();
  }
  std::string content;
  struct stat st {};
  if (::fstat(fd.get(), &st) == 0 && st.st_size > 0) {
    content.reserve(static_cast<std::size_t>(st.st_size));
  }
  char chunk[8192];
  for (;;) {
    const ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      return last_error();
    }
    if (n == 0) {
      break;
    }
    content.append(chunk, static_cast<std::size_t>(n));
  }
  if (!sys::is_valid_utf8(content)) {
    return tl::unexpected(IoError::invalid_utf8());
  }
  return content;
}

IoResult<std::filesystem::path> resolve_links(const std::filesystem::path& file) {
  std::filesystem::path at = file;
  for (int links = 0; links <= kMaxLinks; ++links) {
    struct stat st {};
    if (::lstat(at.c_str(), &st) != 0) {
      if (errno == ENOENT) {
        return at;  // nothing there yet: this is the file a save creates
      }
      return last_error();
    }
    if (!S_ISLNK(st.st_mode)) {
      return at;
    }
    std::error_code error;
    const std::filesystem::path target = std::filesystem::read_symlink(at, error);
    if (error) {
      return tl::unexpected(IoError::os(error.value()));
    }
    at = target.is_absolute() ? target : at.parent_path() / target;
  }
  return tl::unexpected(IoError::os(ELOOP));
}

IoResult<void> replace_file(const std::filesystem::path& file, std::string_view content) {
  struct stat old {};
  const bool has_old = ::stat(file.c_str(), &old) == 0;
  auto replaced = replace_through_temp(file, has_old ? &old : nullptr, content);
  if (replaced) {
    sync_dir(file.has_parent_path() ? file.parent_path() : std::filesystem::path("."));
    return {};
  }
  if (!has_old || !is_permission_error(replaced.error())) {
    return replaced;
  }
  // The directory refuses new files, but the file itself may still be writable.
  const sys::UniqueFd fd(::open(file.c_str(), O_WRONLY | O_CLOEXEC));
  if (fd.get() < 0) {
    return replaced;
  }
  return rewrite(fd.get(), content);
}

IoResult<DirLock> DirLock::take(const std::filesystem::path& dir, Mode mode) {
  const std::filesystem::path where = dir.empty() ? std::filesystem::path(".") : dir;
  sys::UniqueFd fd(::open(where.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.get() < 0) {
    return last_error();
  }
  const int operation = mode == Mode::Shared ? LOCK_SH : LOCK_EX;
  while (::flock(fd.get(), operation) != 0) {
    if (errno != EINTR) {
      return last_error();
    }
  }
  return DirLock(std::move(fd));
}

}  // namespace orvo::store
