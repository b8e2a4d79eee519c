#include "support/environment.hpp"

#include <clocale>
#include <cstdlib>
#include <string_view>

namespace orvo::test {

std::vector<std::string> sanitizer_settings() {
  std::vector<std::string> entries;
  for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "MallocNanoZone"}) {
    if (const char* value = std::getenv(name)) {
      entries.push_back(std::string(name) + "=" + value);
    }
  }
  return entries;
}

std::string utf8_locale_name() {
  const char* name = std::setlocale(LC_CTYPE, nullptr);
  return name != nullptr ? name : "";
}

std::string shell_quote(std::string_view text) {
  std::string quoted = "'";
  for (const char c : text) {
    quoted += c == '\'' ? std::string_view(R"('\'')") : std::string_view(&c, 1);
  }
  return quoted + "'";
}

}  // namespace orvo::test
