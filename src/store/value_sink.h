// What the in-order copies hand their values to (Keys, Items, an enumerator's Next).
#pragma once

#include <cstddef>

#include "quilmar/com_types.h"

namespace quilmar {

// Receives copies of keys or payloads in ascending key order.
class ValueSink {
 public:
  // Called once before the first take() when the number of values is known.
  virtual void reserve(std::size_t count) { (void)count; }
  // Copies the value; may throw, which ends the walk.
  virtual void take(const VARIANT& value) = 0;

 protected:
  ~ValueSink() = default;
};

// What a walk copies of each pair: its key, its payload, or both (the key first).
enum class Field { key, payload, pair };

}  // namespace quilmar
