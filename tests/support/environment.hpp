#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orvo::test {

// The "NAME=value" entries of the sanitizers' settings in the test process's environment
// (ASAN_OPTIONS, UBSAN_OPTIONS and macOS's MallocNanoZone), for a program started with an
// environment of its own, so that it runs sanitized as the test process does.
[[nodiscard]] std::vector<std::string> sanitizer_settings();

// The name of the UTF-8 locale the test process measures text under (the test's main sets it),
// for LANG or LC_ALL of the programs a test starts: systems differ in what they call it.
[[nodiscard]] std::string utf8_locale_name();

// `text` as one word of a POSIX shell line: in single quotes, each single quote written as '\''.
[[nodiscard]] std::string shell_quote(std::string_view text);

}  // namespace orvo::test
