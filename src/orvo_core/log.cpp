#include "orvo_core/log.hpp"

#include <cstdio>

namespace orvo::core::log {
namespace {

bool g_enabled = false;

}  // namespace

void init(std::string_view /*raw*/, bool /*color*/) { g_enabled = true; }

bool enabled(Level level, std::string_view /*target*/) {
  return g_enabled && level == Level::Error;
}

void event(Level level, std::string_view target, std::string_view message,
           std::initializer_list<Field> fields) {
  if (!enabled(level, target)) {
    return;
  }
  std::string line = std::string(target) + ": " + std::string(message);
  for (const Field& f : fields) {
    line += " " + std::string(f.name) + "=" + f.value;
  }
  std::fprintf(stderr, "%s\n", line.c_str());
}

}  // namespace orvo::core::log
