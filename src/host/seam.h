// A service tests can stand in for: while a hook is set, it answers instead of the real service.
#pragma once

#include <functional>
#include <utility>

namespace quilmar {

template <class Signature>
class Seam {
 public:
  using Hook = std::function<Signature>;
  // Sets `hook` (an empty one restores the real service); returns the hook it replaces.
  Hook replace(Hook hook) {
    std::swap(hook, hook_);
    return hook;
  }
  const Hook& hook() const noexcept { return hook_; }

 private:
  Hook hook_;
};

}  // namespace quilmar
