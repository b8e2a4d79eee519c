#include <utility>

#include "orvo_ui/app.hpp"

namespace orvo::ui {

// Keeps every dialog open and unchanged.
core::Result<KeyOutcome> UiApp::handle_modal_key(Modal open, const KeyEvent& /*key*/) {
  modal = std::move(open);
  return Continue{};
}

}  // namespace orvo::ui
