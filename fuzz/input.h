// The fuzzer's input read as a stream of small numbers; an exhausted input reads as zeros.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace quilmar::fuzz {

class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : p_(data), left_(size) {}

  bool empty() const { return left_ == 0; }
  std::uint8_t byte() {
    if (left_ == 0) return 0;
    --left_;
    return *p_++;
  }
  template <class T>
  T raw() {
    std::uint8_t buf[sizeof(T)] = {};
    for (auto& b : buf) b = byte();
    T v;
    std::memcpy(&v, buf, sizeof v);
    return v;
  }
  // One of n choices.
  unsigned pick(unsigned n) { return byte() % n; }

 private:
  const std::uint8_t* p_;
  std::size_t left_;
};

}  // namespace quilmar::fuzz
