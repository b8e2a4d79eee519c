#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "orvo_core/error.hpp"

namespace orvo {
namespace {

// The program's main body: everything between process start and the exit status.
core::Result<void> main_body(int /*argc*/, char** /*argv*/) { return {}; }

void print_error(const std::string& text) {
  std::fputs(("Error: " + text + "\n").c_str(), stderr);
}

}  // namespace

// Runs the main body and turns its result into the exit status: 0 on success, 1 with
// "Error: {report}" on standard error after an error, 101 after an unexpected internal failure.
int main(int argc, char** argv) {
  int status = 0;
  try {
    const core::Result<void> result = main_body(argc, argv);
    if (!result) {
      print_error(result.error().report());
      status = 1;
    }
  } catch (const std::exception& e) {
    print_error(std::string("internal error: ") + e.what());
    status = 101;
  }
  std::fflush(stdout);
  return status;
}

}  // namespace orvo

int main(int argc, char** argv) { return orvo::main(argc, argv); }
