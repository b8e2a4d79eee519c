// Throughput of the git runner on large output and time of parsing a long worktree listing.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "orvo_git/exec.hpp"
#include "orvo_git/worktree.hpp"

namespace {

constexpr std::size_t kStreamBytes = 64u << 20;
constexpr int kWorktrees = 1000;

// A fresh directory removed with its contents at the end.
class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "orvo-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
      std::abort();
    }
    path_ = std::filesystem::canonical(pattern);
  }
  ~ScratchDir() { std::filesystem::remove_all(path_); }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  [[nodiscard]] const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// A fake git first on PATH that writes 64 MiB to standard output and 64 MiB to standard error
// at the same time.
void BM_GitLargeOutput(benchmark::State& state) {
  ScratchDir dir;
  const std::filesystem::path git = dir.path() / "git";
  std::ofstream(git) << "#!/bin/sh\nhead -c " << kStreamBytes << " /dev/zero >&2 &\nhead -c "
                     << kStreamBytes << " /dev/zero\nwait\n";
  std::filesystem::permissions(git, std::filesystem::perms::owner_all);
  const std::string old_path = std::getenv("PATH");
  setenv("PATH", (dir.path().string() + ":" + old_path).c_str(), 1);
  for (auto _ : state) {
    const auto output = orvo::git::git(dir.path(), {"cat-file"});
    if (!output || output->size() != kStreamBytes) {
      state.SkipWithError("the fake git did not deliver its output");
      break;
    }
    benchmark::DoNotOptimize(output->data());
  }
  setenv("PATH", old_path.c_str(), 1);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 2 * kStreamBytes);
}
BENCHMARK(BM_GitLargeOutput)->Unit(benchmark::kMillisecond)->UseRealTime();

// A NUL-separated listing of 1,000 worktrees whose directories exist, so every path is really
// resolved.
void BM_ParsePorcelain(benchmark::State& state) {
  ScratchDir dir;
  std::string listing;
  for (int i = 0; i < kWorktrees; ++i) {
    const std::filesystem::path wt = dir.path() / ("wt-" + std::to_string(i));
    std::filesystem::create_directory(wt);
    listing += "worktree " + wt.string() + '\0';
    listing += "HEAD 0123456789abcdef0123456789abcdef01234567";
    listing += '\0';
    listing += i % 7 == 3 ? "detached" : "branch refs/heads/feature/" + std::to_string(i);
    listing += '\0';
    if (i % 50 == 0) {
      listing += "locked reason";
      listing += '\0';
    }
    listing += '\0';
  }
  const std::filesystem::path main = dir.path() / "wt-0";
  for (auto _ : state) {
    auto views = orvo::git::parse_porcelain(listing, main, orvo::git::PorcelainForm::Nul);
    benchmark::DoNotOptimize(views.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kWorktrees);
}
BENCHMARK(BM_ParsePorcelain)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
