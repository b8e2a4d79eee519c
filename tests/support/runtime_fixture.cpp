#include "support/runtime_fixture.hpp"

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <variant>

#include <fmt/format.h>

#include "orvo_store/store.hpp"

namespace orvo::runtime {

namespace {

// The first executable git on the search path.
std::filesystem::path find_git() {
  std::istringstream dirs(std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin");
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    const std::filesystem::path candidate = std::filesystem::path(dir) / "git";
    if (!dir.empty() && access(candidate.c_str(), X_OK) == 0) {
      return candidate;
    }
  }
  throw std::runtime_error("git is not on PATH");
}

std::string json_string(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
    }
    out += c;
  }
  return out + "\"";
}

std::string replace_all(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

std::vector<std::string> split_nul(const std::string& text) {
  std::vector<std::string> out;
  std::size_t start = 0;
  for (std::size_t end = text.find('\0'); end != std::string::npos; end = text.find('\0', start)) {
    out.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return out;
}

std::vector<std::filesystem::path> recorded_calls(const std::filesystem::path& dir) {
  std::vector<std::filesystem::path> out;
  if (!std::filesystem::exists(dir)) {
    return out;
  }
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().extension() == ".call") {
      out.push_back(entry.path());
    }
  }
  return out;
}

}  // namespace

Sandbox::Sandbox()
    : bin(tmp / "bin"),
      real_git_(find_git()),
      home_("HOME", (tmp / "home").string()),
      path_("PATH", bin.string()) {
  std::filesystem::create_directories(bin);
  std::filesystem::create_directories(tmp / "home");
  std::filesystem::create_symlink(real_git_, bin / "git");
}

void Sandbox::write_prefs(const std::string& editor_cmd, const std::string& pi_bin) {
  test::write_file(state_file(),
                   fmt::format(R"({{"projects":[],"prefs":{{"editor_cmd":{},"pi_bin":{},)"
                               R"("pi_extra_args":[],"default_start_pi_on_create":true}}}})",
                               json_string(editor_cmd), json_string(pi_bin)));
}

Runtime& Sandbox::rt() {
  if (!runtime_) {
    auto store = store::Store::open_default();
    if (!store) {
      throw std::runtime_error("cannot open the store: " + store.error().message());
    }
    runtime_ = std::make_unique<Runtime>(std::move(*store));
    receiver_ = runtime_->subscribe();
  }
  return *runtime_;
}

std::vector<core::Event> Sandbox::raw_events() {
  rt();
  return receiver_->drain();
}

std::vector<std::string> Sandbox::events() {
  std::vector<std::string> out;
  for (const core::Event& event : raw_events()) {
    out.push_back(std::visit(
        [&](const auto& e) -> std::string {
          using E = std::decay_t<decltype(e)>;
          if constexpr (std::is_same_v<E, core::ProjectsChanged>) {
            return "ProjectsChanged";
          } else if constexpr (std::is_same_v<E, core::SessionUpdated>) {
            return "SessionUpdated";
          } else if constexpr (std::is_same_v<E, core::Toast>) {
            return fmt::format("Toast {} {}", e.text, e.ok);
          } else {
            return fmt::format("Progress {} {}", tmp_text(e.text), e.done);
          }
        },
        event));
  }
  return out;
}

core::ProjectId Sandbox::add(const test::GitRepo& repo) {
  const auto added = rt().handle(AddProject{repo.path()});
  if (!added) {
    throw std::runtime_error("cannot add the project: " + added.error().message());
  }
  (void)raw_events();
  return rt().snapshot().focus.project_id.value();
}

core::ProjectSnapshot Sandbox::project(const core::ProjectId& id) {
  for (core::ProjectSnapshot& entry : rt().snapshot().projects) {
    if (entry.project.id == id) {
      return entry;
    }
  }
  ADD_FAILURE() << "no project " << id.to_string() << " in the snapshot";
  return {};
}

void Sandbox::install_fake_osascript() {
  const std::filesystem::path calls = tmp / "osascript-calls";
  std::filesystem::create_directories(calls);
  test::write_file(
      bin / "osascript",
      fmt::format("#!/bin/sh\n"
                  "PATH=/usr/bin:/bin\n"
                  "f='{}'/$$\n"
                  "printf '%s\\0' \"$@\" > \"$f.part\" && mv \"$f.part\" \"$f.call\"\n",
                  calls.string()),
      true);
}

std::vector<std::vector<std::string>> Sandbox::osascript_calls(std::size_t count) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (osascript_call_count() < count && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::vector<std::vector<std::string>> out;
  for (const std::filesystem::path& call : recorded_calls(tmp / "osascript-calls")) {
    out.push_back(split_nul(test::read_file(call)));
  }
  return out;
}

std::size_t Sandbox::osascript_call_count() const {
  return recorded_calls(tmp / "osascript-calls").size();
}

std::size_t Sandbox::osascript_calls_before_marker(const core::ProjectId& id) {
  const std::filesystem::path marker = tmp / "marker";
  if (auto started = rt().handle(StartPi{marker, id}); !started) {
    ADD_FAILURE() << "the marking start failed: " << started.error().message();
    return osascript_call_count();
  }
  const std::string marked = "cd '" + marker.string() + "'";
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  for (;;) {
    std::size_t others = 0;
    bool marker_seen = false;
    for (const std::filesystem::path& call : recorded_calls(tmp / "osascript-calls")) {
      const bool is_marker = test::read_file(call).find(marked) != std::string::npos;
      marker_seen = marker_seen || is_marker;
      others += is_marker ? 0 : 1;
    }
    if (marker_seen) {
      return others;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      ADD_FAILURE() << "the marking start made no osascript call";
      return others;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

void Sandbox::fail_worktree_listing() {
  std::filesystem::remove(bin / "git");
  test::write_file(bin / "git",
                   fmt::format("#!/bin/sh\n"
                               "if [ \"$1\" = worktree ] && [ \"$2\" = list ]; then\n"
                               "  echo 'fatal: listing refused' >&2\n"
                               "  exit 1\n"
                               "fi\n"
                               "exec '{}' \"$@\"\n",
                               real_git_.string()),
                   true);
}

void Sandbox::break_state_dir() {
  const std::filesystem::path dir = state_file().parent_path();
  std::filesystem::remove_all(dir);
  test::write_file(dir, "in the way");
}

std::filesystem::path Sandbox::state_file() const {
  return tmp / "home" / "Library" / "Application Support" / "orvo" / "state.json";
}

std::string Sandbox::tmp_text(const std::filesystem::path& path) const {
  return replace_all(path.string(), tmp.path().string(), "$TMP");
}

std::string read_if_exists(const std::filesystem::path& file) {
  return std::filesystem::exists(file) ? test::read_file(file) : std::string();
}

}  // namespace orvo::runtime
