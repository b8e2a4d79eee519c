#pragma once

#include <string>

#include "support/temp_dir.hpp"

namespace orvo::test {

// Sends what this process writes to standard error to a file while it lives.
class StderrCapture {
 public:
  StderrCapture();
  ~StderrCapture();
  StderrCapture(const StderrCapture&) = delete;
  StderrCapture& operator=(const StderrCapture&) = delete;

  // Everything written so far.
  std::string text();

 private:
  TempDir dir_;
  int saved_ = -1;
};

}  // namespace orvo::test
