#include "orvo_runtime/events.hpp"

#include <iterator>
#include <utility>

namespace orvo::runtime {

std::optional<core::Event> EventReceiver::try_recv() {
  const std::lock_guard lock(queue_->mutex);
  if (queue_->events.empty()) {
    return std::nullopt;
  }
  core::Event event = std::move(queue_->events.front());
  queue_->events.pop_front();
  return event;
}

std::vector<core::Event> EventReceiver::drain() {
  const std::lock_guard lock(queue_->mutex);
  std::vector<core::Event> out(std::make_move_iterator(queue_->events.begin()),
                               std::make_move_iterator(queue_->events.end()));
  queue_->events.clear();
  return out;
}

void EventSender::send(core::Event event) {
  const std::lock_guard lock(mutex_);
  std::erase_if(queues_, [](const auto& weak) { return weak.expired(); });
  for (const auto& weak : queues_) {
    const std::shared_ptr<EventReceiver::Queue> queue = weak.lock();
    if (!queue) {
      continue;
    }
    const std::lock_guard queue_lock(queue->mutex);
    if (queue->events.size() == capacity_) {
      queue->events.pop_front();
    }
    queue->events.push_back(event);
  }
}

bool EventSender::has_receivers() const {
  const std::lock_guard lock(mutex_);
  std::erase_if(queues_, [](const auto& weak) { return weak.expired(); });
  return !queues_.empty();
}

EventReceiver EventSender::subscribe() {
  auto queue = std::make_shared<EventReceiver::Queue>();
  const std::lock_guard lock(mutex_);
  queues_.push_back(queue);
  return EventReceiver(std::move(queue));
}

}  // namespace orvo::runtime
