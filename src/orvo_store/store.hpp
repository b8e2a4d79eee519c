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

// The projects and preferences kept in the state file. Several processes may share one file:
// each change is one step under an exclusive lock on the folder of the file that the state
// file's symbolic links lead to (flock on the folder itself, so it also excludes another Store
// of the same process, and runs that reach one file through different links take one lock): the
// file is read again as it is now (a missing file is the empty state), the one change is applied
// to what was read and saved, and only then does the data in memory become that result. A change
// whose read or save fails changes nothing, on disk or in memory. Reads take the lock shared. No
// locking between threads: the owner serialises the calls on one Store.
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
  // written then), also when `path` is a link to a file not written yet. A save through such a
  // link writes its target and keeps the link; one whose target's folder is missing fails with
  // Io and writes nothing. Fails with Io when the directory cannot be made or locked, a link
  // cannot be followed, the file cannot be examined or read, or is not UTF-8; with Json when its
  // text is refused. A refused file is left as is.
  [[nodiscard]] static StoreResult<Store> open_at(std::filesystem::path path);

  // The full path of the state file.
  [[nodiscard]] const std::filesystem::path& path() const { return path_; }

  // The document as this store last read or saved it.
  [[nodiscard]] const StoreData& data() const { return data_; }

  // Reads the state file again, as `open_at` does, and holds what it found. Fails as `open_at`
  // does, and then keeps the data it held.
  [[nodiscard]] StoreResult<void> reload();

  // Appends `project` and saves, unless a stored project has an equal `main_path` (compared
  // component-wise), in which case nothing is saved and this succeeds. Fails with Json when a
  // `main_path` is not UTF-8 and with Io when the file cannot be read or written, or with the
  // refusal of a file that was damaged meanwhile.
  [[nodiscard]] StoreResult<void> add_project(core::Project project);

  // Removes every project with identifier `id` and saves, also when none matched. Fails as
  // `add_project` does.
  [[nodiscard]] StoreResult<void> remove_project(const core::ProjectId& id);

  // Sets the quick base of the first project with identifier `id` to `base`, exactly as given,
  // and saves. Fails with NotFound (nothing saved) when no project has that identifier, else as
  // `add_project` does.
  [[nodiscard]] StoreResult<void> set_quick_base(const core::ProjectId& id, std::string base);

 private:
  // Whether a change applied to the data read asks for a save.
  enum class Save { No, Yes };

  Store(std::filesystem::path path, StoreData data)
      : path_(std::move(path)), data_(std::move(data)) {}

  // One change under the exclusive lock: read, `apply`, save when it asks, then hold the result.
  template <class Apply>
  [[nodiscard]] StoreResult<void> change(Apply apply);

  std::filesystem::path path_;
  StoreData data_;
};

}  // namespace orvo::store
