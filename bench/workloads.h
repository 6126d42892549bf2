// Keys and payloads the benchmarks insert: the same Variants for the store and every peer.
#pragma once

#include <string>
#include <vector>

#include "host/variant.h"

namespace quilmar::bench {

enum class Workload { random_int, random_string, ascending, descending, duplicates };

const char* name(Workload w);

// n keys of the workload, generated once and kept for the process's life.
const std::vector<Variant>& keys(Workload w, std::size_t n);

// One payload per key: an int, as a client would attach a row number.
const std::vector<Variant>& payloads(std::size_t n);

// Bytes the heap holds in use right now.
std::size_t heap_in_use();

}  // namespace quilmar::bench
