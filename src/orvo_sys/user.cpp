#include "orvo_sys/user.hpp"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace orvo::sys {

std::optional<std::filesystem::path> user_db_home(uid_t uid) {
  const long suggested = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 512);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr ||
      found->pw_dir == nullptr || found->pw_dir[0] == '\0') {
    return std::nullopt;
  }
  return std::filesystem::path(found->pw_dir);
}

std::optional<std::filesystem::path> home_dir() {
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
    return std::filesystem::path(home);
  }
  return user_db_home(getuid());
}

}  // namespace orvo::sys
