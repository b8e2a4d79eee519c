#pragma once

#include <locale.h>
#include <spawn.h>
#if defined(__APPLE__)
#include <xlocale.h>  // macOS declares locale_t and the *_l functions here
#endif

#include <string>

// The calls whose form differs between the systems Orvo builds on, glibc on Linux and macOS,
// each behind one function that works on both.
namespace orvo::sys {

// Opens a pipe whose two ends are closed on exec, so that no child inherits them unasked.
// Returns 0, or the error number with nothing opened.
[[nodiscard]] int open_cloexec_pipe(int (&fds)[2]);

// The C library's text for the error number `code`.
[[nodiscard]] std::string error_text(int code);

// Whether the terminal behind `fd` has hung up: it reads as ready while no byte waits in it.
// Never waits; a descriptor select cannot watch counts as not hung up.
[[nodiscard]] bool terminal_hung_up(int fd);

// Adds to `actions` a change into the directory `path`, by path, so that it needs only search
// permission there. Returns 0 or the error number.
[[nodiscard]] int add_chdir_action(posix_spawn_file_actions_t* actions, const char* path);

// Asks the system to put what was written to `fd` on the drive itself: with F_FULLFSYNC where
// the system has it (macOS, whose fsync leaves the data in the drive's cache), else, or where
// the volume refuses it (some network and exFAT volumes do), with fsync. Returns 0, or the
// error number of fsync.
[[nodiscard]] int sync_to_disk(int fd);

// `sync_to_disk` with `full_sync` asked first (it returns 0, or -1 with errno set, as fcntl
// does), or only fsync when it is null, as on systems without F_FULLFSYNC.
[[nodiscard]] int sync_to_disk(int fd, int (*full_sync)(int fd));

// Sets the character type of the locale to the user's when that is UTF-8, else to a UTF-8 one
// the system has; the other categories are left as they are. Returns whether the character type
// is UTF-8 afterwards.
bool use_utf8_ctype();

// A locale whose character type is UTF-8, for classifying characters whatever the process's
// locale is, or (locale_t)0 when the system has none. Made once, kept for the process's life.
[[nodiscard]] locale_t utf8_locale();

}  // namespace orvo::sys
