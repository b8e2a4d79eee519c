#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

#include "orvo_runtime/events.hpp"

namespace orvo::runtime {
namespace {

core::Event toast(std::string text) {
  return core::Toast{std::move(text), true};
}

std::vector<std::string> texts(const std::vector<core::Event>& events) {
  std::vector<std::string> out;
  for (const core::Event& event : events) {
    out.push_back(std::get<core::Toast>(event).text);
  }
  return out;
}

TEST(EventSender, DropsSendsWhileNobodyListens) {
  EventSender sender(4);
  EXPECT_FALSE(sender.has_receivers());
  sender.send(toast("lost"));
  EventReceiver receiver = sender.subscribe();
  EXPECT_TRUE(sender.has_receivers());
  EXPECT_FALSE(receiver.try_recv().has_value());
  sender.send(toast("kept"));
  EXPECT_EQ(texts(receiver.drain()), std::vector<std::string>{"kept"});
  EXPECT_TRUE(receiver.drain().empty());
}

TEST(EventSender, GivesEveryReceiverEachEventInOrder) {
  EventSender sender(4);
  EventReceiver first = sender.subscribe();
  sender.send(toast("a"));
  EventReceiver second = sender.subscribe();
  sender.send(toast("b"));
  sender.send(toast("c"));
  EXPECT_EQ(std::get<core::Toast>(*first.try_recv()).text, "a");
  EXPECT_EQ(texts(first.drain()), (std::vector<std::string>{"b", "c"}));
  EXPECT_EQ(texts(second.drain()), (std::vector<std::string>{"b", "c"}));
}

TEST(EventSender, KeepsTheNewestEventsUpToItsCapacity) {
  EventSender sender(3);
  EventReceiver receiver = sender.subscribe();
  for (const char* text : {"1", "2", "3", "4", "5"}) {
    sender.send(toast(text));
  }
  EXPECT_EQ(texts(receiver.drain()), (std::vector<std::string>{"3", "4", "5"}));
}

TEST(EventSender, ForgetsReceiversThatAreGone) {
  EventSender sender(4);
  { EventReceiver gone = sender.subscribe(); }
  EXPECT_FALSE(sender.has_receivers());
  sender.send(toast("nobody"));
}

}  // namespace
}  // namespace orvo::runtime
