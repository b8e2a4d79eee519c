#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <variant>

#include <tl/expected.hpp>

#include "orvo_core/error.hpp"
#include "orvo_core/ids.hpp"
#include "orvo_core/model.hpp"
#include "orvo_store/file_io.hpp"
#include "orvo_store/state_file.hpp"

namespace orvo::store {

// The failure of a store operation.
class StoreError {
 public:
  enum class Kind { Io, Json, NotFound };

  [[nodiscard]] static StoreError io(IoError error) { return StoreError(std::move(error)); }
  [[nodiscard]] static StoreError json(JsonError error) { return StoreError(std::move(error)); }
  [[nodiscard]] static StoreError not_found() { return StoreError(std::monostate{}); }

  [[nodiscard]] Kind kind() const { return static_cast<Kind>(payload_.index()); }

  // "io: {}" or "json: {}" with the carried error's text, or "project not found".
  [[nodiscard]] std::string message() const;

  // The variant's name with the carried error's debug text in parentheses (`Io(…)`,
  // `Json(…)`), or `NotFound`.
  [[nodiscard]] std::string debug() const;

  // The carried error's text (the cause of Io and Json), nullopt for NotFound.
  [[nodiscard]] std::optional<std::string> source() const;

  // The general error value: this message, with the source as its one cause.
  [[nodiscard]] core::Error to_error() const;

 private:
  // Alternatives in the order of Kind.
  using Payload = std::variant<IoError, JsonError, std::monostate>;
  explicit StoreError(Payload payload) : payload_(std::move(payload)) {}
  Payload payload_;
};

template <class T>
using StoreResult = tl::expected<T, StoreError>;

// The projects and preferences kept in the state file; every change rewrites the whole file.
// No locking of its own: the owner serialises all calls.
class Store {
 public:
  // The directory of the state file: "Library/Application Support/orvo" under the home directory
  // (HOME when set and not empty, else the user database's entry for the real user id), or
  // "./orvo" when there is none. Never fails; nothing is checked on disk.
  [[nodiscard]] static std::filesystem::path data_dir();

  // open_at(data_dir() / "state.json").
  [[nodiscard]] static StoreResult<Store> open_default();

  // Creates the directory of `path` with its ancestors, then loads the state file, or starts
  // with no projects and the default preferences when the file does not exist (nothing is
  // written then). Fails with Io when the directory cannot be made, the file cannot be examined
  // or read, or is not UTF-8; with Json when its text is refused. A refused file is left as is.
  [[nodiscard]] static StoreResult<Store> open_at(std::filesystem::path path);

  // The full path of the state file.
  [[nodiscard]] const std::filesystem::path& path() const { return path_; }

  // The document held in memory; after each successful save the file holds exactly this.
  [[nodiscard]] const StoreData& data() const { return data_; }

  // Rewrites the state file from `data()`. Fails with Json when a `main_path` is not UTF-8 (the
  // file is not touched) and with Io when the directory or the file cannot be written (the old
  // file stays whole).
  [[nodiscard]] StoreResult<void> save() const;

  // Appends `project` and saves, unless a stored project has an equal `main_path` (compared
  // component-wise), in which case nothing changes and this succeeds. Fails as `save` does; the
  // project then stays appended in memory.
  [[nodiscard]] StoreResult<void> add_project(core::Project project);

  // Removes every project with identifier `id` and saves, also when none matched. Fails as
  // `save` does.
  [[nodiscard]] StoreResult<void> remove_project(const core::ProjectId& id);

  // Sets the quick base of the first project with identifier `id` to `base`, exactly as given,
  // and saves. Fails with NotFound (nothing saved) when no project has that identifier, else as
  // `save` does.
  [[nodiscard]] StoreResult<void> set_quick_base(const core::ProjectId& id, std::string base);

 private:
  Store(std::filesystem::path path, StoreData data)
      : path_(std::move(path)), data_(std::move(data)) {}

  std::filesystem::path path_;
  StoreData data_;
};

}  // namespace orvo::store
