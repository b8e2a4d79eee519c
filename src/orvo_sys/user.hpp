#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>

namespace orvo::sys {

// The user's home directory: HOME when it is set and not empty (its bytes as they are), else the
// user database's entry for the real user id; nullopt when neither gives a non-empty directory.
[[nodiscard]] std::optional<std::filesystem::path> home_dir();

// The home directory the user database records for `uid`; nullopt when there is no entry or its
// directory is empty.
[[nodiscard]] std::optional<std::filesystem::path> user_db_home(uid_t uid);

}  // namespace orvo::sys
