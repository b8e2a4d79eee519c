#include "support/stderr_capture.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace orvo::test {

StderrCapture::StderrCapture() {
  std::fflush(stderr);
  saved_ = dup(STDERR_FILENO);
  const int fd = open((dir_ / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  dup2(fd, STDERR_FILENO);
  close(fd);
}

StderrCapture::~StderrCapture() {
  std::fflush(stderr);
  dup2(saved_, STDERR_FILENO);
  close(saved_);
}

std::string StderrCapture::text() {
  std::fflush(stderr);
  return read_file(dir_ / "stderr");
}

}  // namespace orvo::test
