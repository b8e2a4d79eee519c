#include "orvo_store/store.hpp"

#include <algorithm>
#include <cerrno>

#include "orvo_core/log.hpp"
#include "orvo_core/path.hpp"
#include "orvo_sys/user.hpp"

namespace orvo::store {
namespace {

constexpr std::string_view kLogTarget = "orvo_store";

tl::unexpected<StoreError> io_failure(const IoError& error) {
  return tl::unexpected(StoreError::io(error));
}

// The file the state file's symbolic links lead to, after making the folder of `path` (the one a
// link lies in, or the file's own).
StoreResult<std::filesystem::path> state_target(const std::filesystem::path& path) {
  if (auto made = create_dir_all(path.parent_path()); !made) {
    return io_failure(made.error());
  }
  auto target = resolve_links(path);
  if (!target) {
    return io_failure(target.error());
  }
  return std::move(*target);
}

// The lock on the folder of `target`, the state file with its links followed: every run sharing
// the file, through whichever link, takes the same lock, and the temporary file of a save lies in
// that folder too.
IoResult<DirLock> lock_folder_of(const std::filesystem::path& target, DirLock::Mode mode) {
  return DirLock::take(target.parent_path(), mode);
}

StoreData empty_state() {
  return StoreData{{}, core::AppPrefs::defaults()};
}

// The state file's document, or the empty state with the default preferences when there is no
// file. Needs the lock on the folder of `file`, the state file with its links followed.
StoreResult<StoreData> load(const std::filesystem::path& file) {
  const auto exists = file_exists(file);
  if (!exists) {
    return io_failure(exists.error());
  }
  if (!*exists) {
    return empty_state();
  }
  const auto text = read_text(file);
  if (!text) {
    return io_failure(text.error());
  }
  auto data = read_state(*text);
  if (!data) {
    return tl::unexpected(StoreError::json(std::move(data.error())));
  }
  return std::move(*data);
}

// The state file at `path` read under the shared lock.
StoreResult<StoreData> load_shared(const std::filesystem::path& path) {
  const auto target = state_target(path);
  if (!target) {
    return tl::unexpected(target.error());
  }
  const auto lock = lock_folder_of(*target, DirLock::Mode::Shared);
  if (!lock) {
    // A link to a file whose folder does not exist: there is nothing to read yet, and the next
    // save reports the missing folder.
    if (lock.error().os_code() == ENOENT) {
      return empty_state();
    }
    return io_failure(lock.error());
  }
  return load(*target);
}

// Rewrites the state file `file` (links followed) with `data`; the file is not touched when the
// text is refused. Needs the lock on its folder held exclusively.
StoreResult<void> save(const std::filesystem::path& file, const StoreData& data) {
  const auto text = write_state(data);
  if (!text) {
    return tl::unexpected(StoreError::json(text.error()));
  }
  if (auto written = replace_file(file, *text); !written) {
    return io_failure(written.error());
  }
  return {};
}

}  // namespace

std::string StoreError::message() const {
  switch (kind()) {
    case Kind::Io:
      return "io: " + std::get<IoError>(payload_).message();
    case Kind::Json:
      return "json: " + std::get<JsonError>(payload_).message();
    case Kind::NotFound:
      break;
  }
  return "project not found";
}

std::string StoreError::debug() const {
  switch (kind()) {
    case Kind::Io:
      return "Io(" + std::get<IoError>(payload_).debug() + ")";
    case Kind::Json:
      return "Json(" + std::get<JsonError>(payload_).debug() + ")";
    case Kind::NotFound:
      break;
  }
  return "NotFound";
}

std::optional<std::string> StoreError::source() const {
  switch (kind()) {
    case Kind::Io:
      return std::get<IoError>(payload_).message();
    case Kind::Json:
      return std::get<JsonError>(payload_).message();
    case Kind::NotFound:
      break;
  }
  return std::nullopt;
}

core::Error StoreError::to_error() const {
  std::vector<std::string> causes;
  if (auto cause = source()) {
    causes.push_back(std::move(*cause));
  }
  return core::Error(message(), std::move(causes));
}

std::filesystem::path Store::data_dir() {
  if (const auto home = sys::home_dir()) {
    return *home / "Library/Application Support" / "orvo";
  }
  return std::filesystem::path(".") / "orvo";
}

StoreResult<Store> Store::open_default() {
  return open_at(data_dir() / "state.json");
}

StoreResult<Store> Store::open_at(std::filesystem::path path) {
  auto data = load_shared(path);
  if (!data) {
    return tl::unexpected(std::move(data.error()));
  }
  return Store(std::move(path), std::move(*data));
}

StoreResult<void> Store::reload() {
  auto data = load_shared(path_);
  if (!data) {
    return tl::unexpected(std::move(data.error()));
  }
  data_ = std::move(*data);
  return {};
}

template <class Apply>
StoreResult<void> Store::change(Apply apply) {
  const auto target = state_target(path_);
  if (!target) {
    return tl::unexpected(target.error());
  }
  const auto lock = lock_folder_of(*target, DirLock::Mode::Exclusive);
  if (!lock) {
    return io_failure(lock.error());
  }
  auto data = load(*target);
  if (!data) {
    return tl::unexpected(std::move(data.error()));
  }
  StoreResult<Save> applied = apply(*data);
  if (applied && *applied == Save::Yes) {
    if (auto saved = save(*target, *data); !saved) {
      return saved;
    }
  }
  // The file holds what was read, or the change applied to it: either is the store's data now.
  data_ = std::move(*data);
  return applied.map([](Save) {});
}

StoreResult<void> Store::add_project(core::Project project) {
  return change([&](StoreData& data) -> StoreResult<Save> {
    const bool known = std::any_of(data.projects.begin(), data.projects.end(), [&](const auto& p) {
      return core::same_path(p.main_path, project.main_path);
    });
    if (known) {
      return Save::No;
    }
    core::log::event(core::log::Level::Info, kLogTarget, "add project",
                     {{"name", project.name}, {"path", core::display(project.main_path)}});
    data.projects.push_back(std::move(project));
    return Save::Yes;
  });
}

StoreResult<void> Store::remove_project(const core::ProjectId& id) {
  return change([&](StoreData& data) -> StoreResult<Save> {
    std::erase_if(data.projects, [&](const core::Project& p) { return p.id == id; });
    return Save::Yes;
  });
}

StoreResult<void> Store::set_quick_base(const core::ProjectId& id, std::string base) {
  return change([&](StoreData& data) -> StoreResult<Save> {
    const auto found = std::find_if(data.projects.begin(), data.projects.end(),
                                    [&](const core::Project& p) { return p.id == id; });
    if (found == data.projects.end()) {
      return tl::unexpected(StoreError::not_found());
    }
    found->quick_base = std::move(base);
    return Save::Yes;
  });
}

}  // namespace orvo::store
