#pragma once

#include <cstdint>

#include "orvo_ui/terminal.hpp"

namespace orvo::bench {

// Opens a pseudo-terminal of `width` x `height` cells whose far end a reader thread drains and
// counts, opens a terminal session on it as an xterm with 256 colours, and runs the registered
// benchmarks with `session()` set. Returns the exit status: 1 when the pseudo-terminal or the
// session cannot be opened (the reason is on standard error), else 0.
[[nodiscard]] int run_benchmarks_on_pty(std::uint16_t width, std::uint16_t height);

// The session the benchmarks run on; only while `run_benchmarks_on_pty` runs them.
[[nodiscard]] ui::TerminalSession& session();

// The bytes the session has written to the pseudo-terminal so far, read once its output has been
// quiet for a moment.
[[nodiscard]] std::uint64_t settled_bytes();

}  // namespace orvo::bench
