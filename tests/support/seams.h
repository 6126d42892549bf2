// Test seams: message boxes captured, event pump calls counted or replaced, table allocations
// refused. Each is a guard that puts back what was installed before it, however the test ends
// (a failed ASSERT included), so no seam outlives its test whatever order the tests run in.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "host/event_pump.h"
#include "host/message_box.h"
#include "store/node_table.h"

namespace quilmar::test {

// Sets a hook through `set` while it lives, and puts back the one it replaced.
template <class Hook, Hook (*set)(Hook)>
class HookGuard {
 public:
  explicit HookGuard(Hook hook) : previous_(set(std::move(hook))) {}
  ~HookGuard() { set(std::move(previous_)); }
  HookGuard(const HookGuard&) = delete;
  HookGuard& operator=(const HookGuard&) = delete;

 private:
  Hook previous_;
};

struct Box {
  std::string title;
  std::string text;
  UINT buttons;
};

// Captures every message box shown while it lives.
class BoxCapture {
 public:
  BoxCapture();
  const std::vector<Box>& boxes() const { return boxes_; }
  void clear() { boxes_.clear(); }

 private:
  std::vector<Box> boxes_;
  HookGuard<MessageBoxHook, set_message_box_hook> guard_;
};

// Counts the event pump's calls while it lives, running `during` on each call if given.
class PumpSpy {
 public:
  explicit PumpSpy(std::function<void()> during = {});
  int calls() const { return calls_; }
  void reset() { calls_ = 0; }
  void set_during(std::function<void()> during) { during_ = std::move(during); }

 private:
  int calls_ = 0;
  std::function<void()> during_;
  HookGuard<EventPumpHook, set_event_pump_hook> guard_;
};

// Answers the node table's requests for memory with `hook` while it lives.
using AllocationHook = HookGuard<TableAllocationHook, set_table_allocation_hook>;

// Refuses, as an exhausted heap would, every table of more than `slots` slots while it lives
// (0: every table), so large sizes run their failure paths without using the memory.
class AllocationLimit : public AllocationHook {
 public:
  explicit AllocationLimit(std::size_t slots);
};

// The warning box's text for an AllocSize as the store writes it.
std::string warning_text(const char* alloc_size);

}  // namespace quilmar::test
