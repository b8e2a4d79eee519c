#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "orvo_core/event.hpp"

namespace orvo::runtime {

// How many events a receiver keeps queued; when more arrive before it reads them, the oldest go.
inline constexpr std::size_t kEventCapacity = 256;

// The receiving end of the runtime's events: it queues every event sent while it exists.
class EventReceiver {
 public:
  // The oldest queued event, or nothing when none is queued. Never waits.
  [[nodiscard]] std::optional<core::Event> try_recv();

  // Every queued event, oldest first; the queue is left empty.
  [[nodiscard]] std::vector<core::Event> drain();

 private:
  friend class EventSender;
  struct Queue {
    std::mutex mutex;
    std::deque<core::Event> events;
  };
  explicit EventReceiver(std::shared_ptr<Queue> queue) : queue_(std::move(queue)) {}

  std::shared_ptr<Queue> queue_;
};

// The sending end of a broadcast channel: each event goes to every live receiver; while nobody
// listens, sends are dropped. Sending never waits.
class EventSender {
 public:
  explicit EventSender(std::size_t capacity) : capacity_(capacity) {}

  // Queues `event` for every live receiver; without one it is dropped.
  void send(core::Event event);

  // Whether any receiver is alive.
  [[nodiscard]] bool has_receivers() const;

  // A new receiver that gets the events sent from now on.
  [[nodiscard]] EventReceiver subscribe();

 private:
  mutable std::mutex mutex_;
  std::size_t capacity_;
  mutable std::vector<std::weak_ptr<EventReceiver::Queue>> queues_;
};

}  // namespace orvo::runtime
