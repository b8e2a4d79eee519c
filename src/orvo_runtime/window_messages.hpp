#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "orvo_sys/unique_fd.hpp"

namespace orvo::runtime {

// The last non-empty line of a text that arrives in pieces. A line ends at a line feed, or at
// the end of the text; white space around it is dropped, bytes that are not UTF-8 become U+FFFD,
// and only its first `kMaxLineBytes` bytes are kept.
class LastLine {
 public:
  static constexpr std::size_t kMaxLineBytes = 1024;

  // Takes the next piece of the text.
  void feed(std::string_view bytes);
  // Ends the text: an unfinished last line counts as a line.
  void finish();
  // The last non-empty line completed since the previous call, if any.
  [[nodiscard]] std::optional<std::string> take();

 private:
  void complete_line();

  std::string partial_;
  std::optional<std::string> last_;
};

// The standard error of the programs that open Terminal windows, read without waiting. Each pipe
// is read until its writers are gone, then closed.
class WindowMessages {
 public:
  // How much one `take` reads from each pipe at most, so that a program writing without end
  // never holds up its caller.
  static constexpr std::size_t kReadLimit = 64 * 1024;

  // Reads `err`, the read end of a program's standard error, from now on.
  void watch(sys::UniqueFd err);

  // Reads what every pipe holds now; the last non-empty line completed since the previous call,
  // if any (when several pipes completed one, that of the pipe watched last). A pipe that fails
  // to read is closed like one at its end.
  [[nodiscard]] std::optional<std::string> take();

  // How many pipes are still open.
  [[nodiscard]] std::size_t watched() const { return sources_.size(); }

 private:
  struct Source {
    sys::UniqueFd fd;
    LastLine lines;
  };

  std::vector<Source> sources_;
};

}  // namespace orvo::runtime
