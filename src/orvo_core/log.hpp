#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace orvo::core::log {

enum class Level { Error, Warn, Info, Debug, Trace };

// One `name=value` field of a diagnostic event; the value is written as plain text.
struct Field {
  std::string_view name;
  std::string value;
};

// Switches diagnostics on for this process: events go to standard error, filtered by the
// directives of RUST_LOG (`raw`), coloured unless NO_COLOR is non-empty. Directives that do
// not parse are reported on standard error and skipped. Until this is called every event is
// dropped.
void init(std::string_view raw, bool color);

// Whether an event of `level` for `target` would be written.
[[nodiscard]] bool enabled(Level level, std::string_view target);

// Writes one event ("{message} {name}={value}…") for `target` when it is enabled.
void event(Level level, std::string_view target, std::string_view message,
           std::initializer_list<Field> fields = {});

}  // namespace orvo::core::log
