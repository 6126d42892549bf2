#include "seams.h"

#include <string>

#include "store/store.h"

namespace quilmar::test {

BoxCapture::BoxCapture()
    : guard_([this](TextView text, UINT buttons, TextView title) {
        boxes_.push_back({to_utf8(title), to_utf8(text), buttons});
        return 1;
      }) {}

PumpSpy::PumpSpy(std::function<void()> during)
    : during_(std::move(during)), guard_([this] {
        ++calls_;
        if (during_) during_();
      }) {}

AllocationLimit::AllocationLimit(std::size_t slots)
    : AllocationHook([slots](std::size_t bytes) { return bytes <= slots * sizeof(AVLtree); }) {}

std::string warning_text(const char* alloc_size) {
  return to_utf8(Store::warning_text(std::stof(alloc_size)));
}

}  // namespace quilmar::test
