#pragma once

#include <chrono>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "orvo_core/log_filter.hpp"

namespace orvo::core::log {

// One `name=value` field of a diagnostic event; the value is written as plain text.
struct Field {
  std::string_view name;
  std::string value;
};

// One diagnostic line, "{time} {LEVEL} {target}: {message} {name}={value}…\n", the time in UTC
// with microseconds, the level five wide; with `color`, in ANSI colours and styles. Control
// characters in the message that could drive a terminal are written as escapes.
[[nodiscard]] std::string format_line(std::chrono::sys_time<std::chrono::nanoseconds> time,
                                      Level level, std::string_view target,
                                      std::string_view message, std::span<const Field> fields,
                                      bool color);

// Switches diagnostics on for this process: events go to standard error, filtered by the
// directives of RUST_LOG (`raw`), coloured when `color` is set. Directives that do not parse are
// reported on standard error and skipped. Until this is called every event is dropped; later
// calls change nothing.
void init(std::string_view raw, bool color);

// What the environment asks of diagnostics: nothing when RUST_LOG is absent; else its value as
// the filter (empty when it is not valid UTF-8), with colours unless NO_COLOR holds non-empty
// valid UTF-8.
struct Settings {
  std::string filter;
  bool color = true;

  bool operator==(const Settings&) const = default;
};
[[nodiscard]] std::optional<Settings> settings_from_env();

// Calls `init` with the settings of the environment, if any; returns whether diagnostics are on.
bool init_from_env();

// Whether an event of `level` for `target` would be written.
[[nodiscard]] bool enabled(Level level, std::string_view target);

// Writes one event ("{message} {name}={value}…") for `target` when it is enabled.
void event(Level level, std::string_view target, std::string_view message,
           std::initializer_list<Field> fields = {});

}  // namespace orvo::core::log
