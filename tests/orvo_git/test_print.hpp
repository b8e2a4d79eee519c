#pragma once

#include <ostream>
#include <type_traits>

#include <gtest/gtest.h>

#include "orvo_git/error.hpp"

namespace orvo::git {

// Lets test failures show git errors and results readably.
inline void PrintTo(const GitError& error, std::ostream* os) {
  *os << error.debug();
}

template <class T>
void PrintTo(const tl::expected<T, GitError>& result, std::ostream* os) {
  if (result) {
    if constexpr (std::is_void_v<T>) {
      *os << "success";
    } else {
      *os << testing::PrintToString(*result);
    }
  } else {
    PrintTo(result.error(), os);
  }
}

inline void PrintTo(const tl::unexpected<GitError>& error, std::ostream* os) {
  PrintTo(error.value(), os);
}

}  // namespace orvo::git
