// One fuzz input played against one store: decodes the bytes into calls through the object's
// interface, and after every call checks the tree's invariants, the answers against the reference
// model, the message boxes, and at the end that nothing leaked.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quilmar::fuzz {

struct Totals {
  std::uint64_t inputs = 0;
  std::uint64_t operations = 0;  // calls into the store, nested ones included
};
extern Totals totals;

// Installs the seams (message box, event pump, table allocation); once per process.
void install_seams();

// Plays one input; aborts with a message on the first finding.
void play(const std::uint8_t* data, std::size_t size);

}  // namespace quilmar::fuzz
