#include "server/module.h"

#include <atomic>

namespace quilmar::module {
namespace {
std::atomic<long> count{0};
}

void add_ref() noexcept {
  ++count;
}
void release() noexcept {
  --count;
}
long usage() noexcept {
  return count.load();
}

}  // namespace quilmar::module
