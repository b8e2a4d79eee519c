#pragma once

#include <string>
#include <variant>

#include "orvo_core/model.hpp"

namespace orvo::core {

struct ProjectsChanged {
  RuntimeSnapshot snapshot;
};

struct SessionUpdated {
  TermSession session;
};

struct Toast {
  std::string text;
  bool ok = false;
};

struct Progress {
  std::string text;
  ProjectId project_id;
  bool done = false;
};

// What the runtime publishes after a change.
using Event = std::variant<ProjectsChanged, SessionUpdated, Toast, Progress>;

}  // namespace orvo::core
