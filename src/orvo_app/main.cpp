#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <optional>
#include <string>

#include "orvo_core/error.hpp"
#include "orvo_core/log.hpp"
#include "orvo_runtime/app.hpp"
#include "orvo_store/store.hpp"
#include "orvo_sys/os_error.hpp"
#include "orvo_ui/model.hpp"
#include "orvo_ui/run_tui.hpp"
#include "orvo_ui/terminal.hpp"

namespace orvo {
namespace {

// Writes `text` to standard output and flushes it, so that a listing cut off by a full disk or a
// closed file ends as an error ("io: {}" with the system's error) rather than a success.
core::Result<void> write_stdout(const std::string& text) {
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) {
    return core::fail("io: " + sys::OsError::last().message());
  }
  return {};
}

// Prints the listing of every project and ends: refreshes first, then registers the start-up
// path, so a path that lies in no repository fails before anything is written.
core::Result<void> dump(runtime::Runtime& rt, const std::optional<std::string>& start_path) {
  rt.bootstrap();
  if (start_path) {
    if (auto added = rt.handle(runtime::AddProject{*start_path}); !added) {
      return added;
    }
  }
  return write_stdout(ui::SidebarModel::from_snapshot(rt.snapshot()).render_text());
}

// The program's main body: diagnostics, the store, the runtime, the start-up path, then the
// dump mode or the interface.
core::Result<void> main_body(int argc, char** argv) {
  core::log::init_from_env();
  auto store = store::Store::open_default();
  if (!store) {
    return tl::unexpected(store.error().to_error());
  }
  auto rt = std::make_shared<runtime::Runtime>(std::move(*store));
  std::optional<std::string> start_path;
  if (argc > 1) {
    start_path = argv[1];
  }
  if (std::getenv("ORVO_DUMP") != nullptr) {
    return dump(*rt, start_path);
  }
  return ui::run_tui(std::move(rt), std::move(start_path));
}

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
  // The interface ended on a termination signal: end the same way, now that the terminal is
  // restored, so the parent sees the signal.
  if (const int sig = ui::termination_signal(); sig != 0) {
    std::signal(sig, SIG_DFL);
    std::raise(sig);
  }
  return status;
}

}  // namespace orvo

int main(int argc, char** argv) {
  return orvo::main(argc, argv);
}
