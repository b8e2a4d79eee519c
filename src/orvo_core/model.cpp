#include "orvo_core/model.hpp"

#include <chrono>
#include <cstdlib>

#include "orvo_sys/text.hpp"

namespace orvo::core {
namespace {

std::optional<std::string> unicode_env(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || !sys::is_valid_utf8(value)) {
    return std::nullopt;
  }
  return std::string(value);
}

}  // namespace

UtcTime utc_now() {
  const auto now = std::chrono::system_clock::now();
  const auto second = std::chrono::floor<std::chrono::seconds>(now);
  const auto nanos = std::chrono::duration_cast<std::chrono::nanoseconds>(now - second);
  return {second.time_since_epoch().count(), static_cast<std::uint32_t>(nanos.count())};
}

AppPrefs AppPrefs::defaults() {
  AppPrefs prefs;
  std::optional<std::string> editor = unicode_env("EDITOR");
  if (!editor) {
    editor = unicode_env("VISUAL");
  }
  prefs.editor_cmd = editor.value_or("zed");
  prefs.pi_bin = "pi";
  prefs.default_start_pi_on_create = true;
  return prefs;
}

}  // namespace orvo::core
