#pragma once

#include "orvo_core/model.hpp"

namespace orvo::bench {

// A snapshot of 50 projects of 9 worktrees each, which the interface shows as 500 rows.
[[nodiscard]] core::RuntimeSnapshot five_hundred_rows();

}  // namespace orvo::bench
