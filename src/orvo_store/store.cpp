#include "orvo_store/store.hpp"

#include <algorithm>

#include "orvo_core/log.hpp"
#include "orvo_core/path.hpp"
#include "orvo_sys/user.hpp"

namespace orvo::store {
namespace {

constexpr std::string_view kLogTarget = "orvo_store";

tl::unexpected<StoreError> io_failure(const IoError& error) {
  return tl::unexpected(StoreError::io(error));
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
  if (auto made = create_dir_all(path.parent_path()); !made) {
    return io_failure(made.error());
  }
  const auto exists = file_exists(path);
  if (!exists) {
    return io_failure(exists.error());
  }
  if (!*exists) {
    return Store(std::move(path), StoreData{{}, core::AppPrefs::defaults()});
  }
  const auto text = read_text(path);
  if (!text) {
    return io_failure(text.error());
  }
  auto data = read_state(*text);
  if (!data) {
    return tl::unexpected(StoreError::json(std::move(data.error())));
  }
  return Store(std::move(path), std::move(*data));
}

StoreResult<void> Store::save() const {
  if (auto made = create_dir_all(path_.parent_path()); !made) {
    return io_failure(made.error());
  }
  const auto text = write_state(data_);
  if (!text) {
    return tl::unexpected(StoreError::json(text.error()));
  }
  if (auto written = replace_file(path_, *text); !written) {
    return io_failure(written.error());
  }
  return {};
}

StoreResult<void> Store::add_project(core::Project project) {
  const bool known = std::any_of(data_.projects.begin(), data_.projects.end(), [&](const auto& p) {
    return core::same_path(p.main_path, project.main_path);
  });
  if (known) {
    return {};
  }
  core::log::event(core::log::Level::Info, kLogTarget, "add project",
                   {{"name", project.name}, {"path", core::display(project.main_path)}});
  data_.projects.push_back(std::move(project));
  return save();
}

StoreResult<void> Store::remove_project(const core::ProjectId& id) {
  std::erase_if(data_.projects, [&](const core::Project& p) { return p.id == id; });
  return save();
}

StoreResult<void> Store::set_quick_base(const core::ProjectId& id, std::string base) {
  const auto found = std::find_if(data_.projects.begin(), data_.projects.end(),
                                  [&](const core::Project& p) { return p.id == id; });
  if (found == data_.projects.end()) {
    return tl::unexpected(StoreError::not_found());
  }
  found->quick_base = std::move(base);
  return save();
}

}  // namespace orvo::store
