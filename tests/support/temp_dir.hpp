#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace orvo::test {

// A fresh directory under the system's temporary folder, removed with everything in it when the
// object goes away. Its path is canonical, so it compares equal to what git and realpath report.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  [[nodiscard]] const std::filesystem::path& path() const { return path_; }
  [[nodiscard]] std::filesystem::path operator/(const std::filesystem::path& rest) const {
    return path_ / rest;
  }

 private:
  std::filesystem::path path_;
};

// Sets (or, with nullopt, unsets) one environment variable for the object's lifetime.
class ScopedEnv {
 public:
  ScopedEnv(std::string name, const std::optional<std::string>& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> saved_;
};

// Writes `text` to `file`, creating parent directories; the file is made executable when
// `executable` is set (fake programs).
void write_file(const std::filesystem::path& file, const std::string& text,
                bool executable = false);

// The whole content of `file`.
[[nodiscard]] std::string read_file(const std::filesystem::path& file);

}  // namespace orvo::test
