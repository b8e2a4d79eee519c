#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "support/tmux.hpp"

namespace orvo::test {

// What the program in `tmux` writes to its terminal while it idles for ten turns of an 80 ms
// loop, recorded into `file` once its first frames are out. The same recording then has to show
// what `key` draws (`drawn` appearing on the screen), so an empty answer cannot come from a
// recording that saw nothing.
[[nodiscard]] std::string output_while_idle(Tmux& tmux, const std::filesystem::path& file,
                                            const std::string& key, std::string_view drawn);

}  // namespace orvo::test
