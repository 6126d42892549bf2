// Test seams: message boxes captured, event pump calls counted or replaced.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "host/event_pump.h"
#include "host/message_box.h"

namespace quilmar::test {

struct Box {
  std::string title;
  std::string text;
  UINT buttons;
};

// Captures every message box shown while it lives.
class BoxCapture {
 public:
  BoxCapture();
  ~BoxCapture();
  const std::vector<Box>& boxes() const { return boxes_; }
  void clear() { boxes_.clear(); }

 private:
  std::vector<Box> boxes_;
  MessageBoxHook previous_;
};

// Counts the event pump's calls while it lives, running `during` on each call if given.
class PumpSpy {
 public:
  explicit PumpSpy(std::function<void()> during = {});
  ~PumpSpy();
  int calls() const { return calls_; }
  void reset() { calls_ = 0; }
  void set_during(std::function<void()> during) { during_ = std::move(during); }

 private:
  int calls_ = 0;
  std::function<void()> during_;
  EventPumpHook previous_;
};

// The warning box's text for an AllocSize as the store writes it.
std::string warning_text(const char* alloc_size);

}  // namespace quilmar::test
