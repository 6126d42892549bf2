#include "seams.h"

namespace quilmar::test {

BoxCapture::BoxCapture() {
  previous_ = set_message_box_hook([this](TextView text, UINT buttons, TextView title) {
    boxes_.push_back({to_utf8(title), to_utf8(text), buttons});
    return 1;
  });
}

BoxCapture::~BoxCapture() {
  set_message_box_hook(std::move(previous_));
}

PumpSpy::PumpSpy(std::function<void()> during) : during_(std::move(during)) {
  previous_ = set_event_pump_hook([this] {
    ++calls_;
    if (during_) during_();
  });
}

PumpSpy::~PumpSpy() {
  set_event_pump_hook(std::move(previous_));
}

AllocationHook::AllocationHook(TableAllocationHook hook)
    : previous_(set_table_allocation_hook(std::move(hook))) {}

AllocationHook::~AllocationHook() {
  set_table_allocation_hook(std::move(previous_));
}

AllocationLimit::AllocationLimit(std::size_t slots)
    : AllocationHook([slots](std::size_t bytes) { return bytes <= slots * sizeof(AVLtree); }) {}

std::string warning_text(const char* alloc_size) {
  return std::string("Quilmar.DLL No Memory.\r\n(AllocSize=") + alloc_size + " Failed)";
}

}  // namespace quilmar::test
