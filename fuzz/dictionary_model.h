// The reference for SortedDictionary, written from the README's "Replacing Scripting.Dictionary":
// one pair a key, the keys in its order (Null, numbers, text with Empty as "", error values,
// objects), the refusals of calls that would store a key, and the enumerators' positions. Nothing
// of slots or of the tree.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "model.h"

namespace quilmar::fuzz {

class DictionaryModel {
 public:
  struct Pair {
    Variant key, item;
    std::uint64_t stamp = 0;  // when the key was added: an enumerator's cut tells by it
  };
  // What a call that would store `key` makes of it: a key, NaN (error 5) or an array (error 13).
  enum class KeyCheck { key, nan, array };
  static KeyCheck check(const VARIANT& key);

  // The order of two keys (both KeyCheck::key).
  Order cmp(const VARIANT& a, const VARIANT& b) const;
  // The place of the key equal to `key`; none for a missing key or one that is no key.
  std::optional<std::size_t> find(const VARIANT& key) const;
  // Adds a pair for a key known to be missing, in its place; a stored copy of the key as given.
  void insert(const VARIANT& key, const VARIANT& item);
  void erase(std::size_t at);
  // Seek: the place `how` chooses; none when no key qualifies.
  std::optional<std::size_t> seek(const VARIANT& key, LONG how) const;
  // The places of the keys with low <= key <= high (null: no bound); a bound that is no key
  // selects nothing.
  std::vector<std::size_t> range(const VARIANT* low, const VARIANT* high) const;
  // Up to `most` places after the position, moving it past them. As for clsAVLt, a position stays
  // after the key it returned last when that key goes: an equal key added later comes after it.
  std::vector<std::size_t> next(Model::Position& p, std::size_t most) const;
  void remove_all();
  void reset();
  void copy_from(const DictionaryModel& other);

  std::vector<Pair> pairs;  // in key order
  std::vector<Model::Position> positions;
  LONG compare_mode = 0;

 private:
  std::uint64_t stamps_ = 0;
};

}  // namespace quilmar::fuzz
