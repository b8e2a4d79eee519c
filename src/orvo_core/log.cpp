#include "orvo_core/log.hpp"

#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <utility>
#include <vector>

#include <fmt/format.h>

#include "orvo_sys/text.hpp"

namespace orvo::core::log {
namespace {

constexpr std::string_view kReset = "\x1b[0m";
constexpr std::string_view kDim = "\x1b[2m";
constexpr std::string_view kItalic = "\x1b[3m";

struct LevelLook {
  std::string_view name;
  std::string_view color;
};

// Indexed by `Level`.
constexpr std::array<LevelLook, 5> kLevelLooks = {{
    {"ERROR", "\x1b[31m"},
    {" WARN", "\x1b[33m"},
    {" INFO", "\x1b[32m"},
    {"DEBUG", "\x1b[34m"},
    {"TRACE", "\x1b[35m"},
}};

std::string utc_timestamp(std::chrono::sys_time<std::chrono::nanoseconds> time) {
  using namespace std::chrono;
  const auto micros = floor<microseconds>(time);
  const auto day = floor<days>(micros);
  const year_month_day date{day};
  const hh_mm_ss clock{micros - day};
  return fmt::format("{:04}-{:02}-{:02}T{:02}:{:02}:{:02}.{:06}Z", static_cast<int>(date.year()),
                     static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                     clock.hours().count(), clock.minutes().count(), clock.seconds().count(),
                     clock.subseconds().count());
}

// The message with the characters that start or alter terminal control sequences written as
// escapes: ESC, BEL, BS, FF, DEL and the C1 controls U+0080 to U+009F.
void append_sanitised(std::string& out, std::string_view message) {
  for (std::size_t i = 0; i < message.size(); ++i) {
    const auto byte = static_cast<unsigned char>(message[i]);
    switch (byte) {
      case 0x1B:
        out += "\\x1b";
        continue;
      case 0x07:
        out += "\\x07";
        continue;
      case 0x08:
        out += "\\x08";
        continue;
      case 0x0C:
        out += "\\x0c";
        continue;
      case 0x7F:
        out += "\\x7f";
        continue;
      default:
        break;
    }
    if (byte < 0x80) {
      out += message[i];
      continue;
    }
    const sys::Utf8Char c = sys::decode_utf8(message.substr(i));
    if (sys::is_control(c.code)) {
      out += fmt::format("\\u{{{:x}}}", static_cast<unsigned>(c.code));
    } else {
      out += message.substr(i, c.length);
    }
    i += c.length - 1;
  }
}

// Time, level and target up to the blank after the colon.
std::string line_head(std::chrono::sys_time<std::chrono::nanoseconds> time, Level level,
                      std::string_view target, bool color) {
  const LevelLook& look = kLevelLooks[static_cast<std::size_t>(level)];
  if (!color) {
    return fmt::format("{} {} {}: ", utc_timestamp(time), look.name, target);
  }
  return fmt::format("{1}{0}{2} {3}{4}{2} {1}{5}{2}{1}:{2} ", utc_timestamp(time), kDim, kReset,
                     look.color, look.name, target);
}

// The message and the fields.
std::string line_body(std::string_view message, std::span<const Field> fields, bool color) {
  std::string body;
  append_sanitised(body, message);
  for (const Field& field : fields) {
    if (color) {
      body += fmt::format(" {}{}{}{}={}{}", kItalic, field.name, kReset, kDim, kReset, field.value);
    } else {
      body += fmt::format(" {}={}", field.name, field.value);
    }
  }
  return body;
}

}  // namespace

std::string format_line(std::chrono::sys_time<std::chrono::nanoseconds> time, Level level,
                        std::string_view target, std::string_view message,
                        std::span<const Field> fields, bool color) {
  return line_head(time, level, target, color) + line_body(message, fields, color) + "\n";
}

namespace {

// Set once by `init`, read by every event afterwards.
struct Diagnostics {
  // Taken to write a line, so lines from several threads never interleave.
  std::mutex mutex;
  std::vector<Directive> directives;
  bool color = false;
};

std::atomic<bool> g_on{false};

// Never destroyed, so events from other static destructors still find it.
Diagnostics& diagnostics() {
  static Diagnostics* instance = new Diagnostics;
  return *instance;
}

// Writes `text` to standard error in one piece; needs the mutex.
void write_locked(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

}  // namespace

void init(std::string_view raw, bool color) {
  Diagnostics& state = diagnostics();
  const std::lock_guard lock(state.mutex);
  if (g_on.load(std::memory_order_acquire)) {
    return;
  }
  Filter filter = parse_filter(raw);
  for (const std::string& complaint : filter.complaints) {
    write_locked(complaint);
  }
  state.directives = std::move(filter.directives);
  state.color = color;
  g_on.store(true, std::memory_order_release);
}

std::optional<Settings> settings_from_env() {
  const char* raw = std::getenv("RUST_LOG");
  if (raw == nullptr) {
    return std::nullopt;
  }
  const char* no_color = std::getenv("NO_COLOR");
  return Settings{
      .filter = sys::is_valid_utf8(raw) ? std::string(raw) : std::string(),
      .color = no_color == nullptr || *no_color == '\0' || !sys::is_valid_utf8(no_color),
  };
}

bool init_from_env() {
  const std::optional<Settings> settings = settings_from_env();
  if (!settings) {
    return false;
  }
  init(settings->filter, settings->color);
  return true;
}

bool enabled(Level level, std::string_view target) {
  return g_on.load(std::memory_order_acquire) &&
         admits(level_for(diagnostics().directives, target), level);
}

void event(Level level, std::string_view target, std::string_view message,
           std::initializer_list<Field> fields) {
  if (!enabled(level, target)) {
    return;
  }
  Diagnostics& state = diagnostics();
  const std::string line =
      format_line(std::chrono::system_clock::now(), level, target, message,
                  std::span<const Field>(fields.begin(), fields.size()), state.color);
  const std::lock_guard lock(state.mutex);
  write_locked(line);
}

}  // namespace orvo::core::log
