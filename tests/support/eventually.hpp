#pragma once

#include <chrono>
#include <thread>

namespace orvo::test {

// Waits up to five seconds for `done` to hold; whether it did.
template <class Predicate>
bool eventually(Predicate done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

}  // namespace orvo::test
