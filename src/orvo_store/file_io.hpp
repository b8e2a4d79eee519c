#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include <tl/expected.hpp>

#include "orvo_sys/unique_fd.hpp"

namespace orvo::store {

// An input/output failure: an operating-system error number, or a file whose content is not
// UTF-8 text.
class IoError {
 public:
  [[nodiscard]] static IoError os(int code) { return IoError(code); }
  [[nodiscard]] static IoError invalid_utf8() { return IoError(std::nullopt); }

  // The error number, or nullopt for content that is not UTF-8.
  [[nodiscard]] std::optional<int> os_code() const { return code_; }

  // "{description} (os error {n})", or "stream did not contain valid UTF-8".
  [[nodiscard]] std::string message() const;

  // `Os { code: 2, kind: NotFound, message: "No such file or directory" }`, or
  // `Error { kind: InvalidData, message: "stream did not contain valid UTF-8" }`.
  [[nodiscard]] std::string debug() const;

 private:
  explicit IoError(std::optional<int> code) : code_(code) {}
  std::optional<int> code_;
};

template <class T>
using IoResult = tl::expected<T, IoError>;

// Creates `dir` and every missing ancestor (mode 0777 before the umask); an existing directory
// is fine. Fails with the first error that is not "already a directory".
[[nodiscard]] IoResult<void> create_dir_all(const std::filesystem::path& dir);

// Whether `file` exists (symbolic links followed). Only "not found" counts as absence; any other
// failure to examine it is an error.
[[nodiscard]] IoResult<bool> file_exists(const std::filesystem::path& file);

// The whole content of `file`, which must be UTF-8 text. Fails on any read error and with
// IoError::invalid_utf8() for other content.
[[nodiscard]] IoResult<std::string> read_text(const std::filesystem::path& file);

// The file that `file` names once its symbolic links are followed: `file` itself when it is no
// link or does not exist, else the link's target, followed in turn, also when the last target
// does not exist yet (a relative target counts from the link's folder). Fails when a path cannot
// be examined or a link read, and with ELOOP after more links than the system itself follows.
[[nodiscard]] IoResult<std::filesystem::path> resolve_links(const std::filesystem::path& file);

// Replaces `file`, a path whose links are already followed (`resolve_links`), with `content` so
// that it holds either the old or the whole new content: the text goes to the temporary file
// ".{name}.tmp" beside it (a leftover of an interrupted save is replaced), is flushed to disk,
// keeps the old file's permission bits and, where the process may set them, its owner and group
// (a new file gets 0666 before the umask), and is renamed over `file`. When the directory
// refuses the temporary file or the rename for lack of permission but `file` itself is
// writable, `file` is rewritten in place instead. On failure the temporary file is removed and
// `file` is untouched; a missing folder fails with ENOENT and writes nothing. Callers must keep
// other writers of `file` out while this runs (the temporary name is shared).
[[nodiscard]] IoResult<void> replace_file(const std::filesystem::path& file,
                                          std::string_view content);

// An advisory lock (flock) on a directory, taken through a read-only descriptor of the directory
// itself and held until the object goes away. Shared locks exclude exclusive ones; an exclusive
// lock excludes every other, also one taken through another descriptor in the same process.
class DirLock {
 public:
  enum class Mode { Shared, Exclusive };

  // Opens `dir` (the current directory when empty) and waits until the lock is granted. Fails
  // when the directory cannot be opened or locked.
  [[nodiscard]] static IoResult<DirLock> take(const std::filesystem::path& dir, Mode mode);

  DirLock(DirLock&& other) noexcept = default;
  DirLock& operator=(DirLock&&) = delete;

 private:
  explicit DirLock(sys::UniqueFd fd) : fd_(std::move(fd)) {}
  // Closing the only descriptor of the open directory releases the lock.
  sys::UniqueFd fd_;
};

}  // namespace orvo::store
