// Late binding, written once for every class: IDispatch's name lookup and calls from a class's
// member table (server/members.h), each call going through the class's own interface members.
// Each class binds its rows to calls in a file of its own (dispatch.cpp for clsAVLt,
// dictionary_dispatch.cpp for SortedDictionary).
#pragma once

#include <array>
#include <cstddef>
#include <iterator>
#include <span>

#include "host/variant.h"
#include "server/members.h"

namespace quilmar::dispatch {

inline constexpr UINT kNoPosition = static_cast<UINT>(-1);

// An argument that does not fit its parameter: the answer, and the argument's index in rgvarg
// when one argument is to blame.
struct BadArgument {
  HRESULT code;
  UINT position = kNoPosition;
};

// The caller's arguments bound to the declared parameters of one member.
class Arguments {
 public:
  // Throws BadArgument when the arguments do not fit the member.
  Arguments(const members::Member& m, const DISPPARAMS& p);

  // The argument for parameter i as the caller passed it, or its default when left out.
  VARIANT* get(UINT i) const noexcept { return slot_[i]; }
  // The argument converted as a script's would be; BadArgument when it cannot be.
  LONG as_long(UINT i) const;
  FLOAT as_float(UINT i) const;
  // Writes a changed value back into the caller's variable, when there is one.
  void write_back(UINT i, LONG value) const;

 private:
  static UINT named_param(const members::Member& m, DISPID id, UINT n);
  void place(UINT param, VARIANT* rgvarg, UINT position);
  void check(UINT i, HRESULT hr) const;

  VARIANT* slot_[members::kMaxParams] = {};
  Variant defaults_[members::kMaxParams];
  UINT position_[members::kMaxParams] = {};
  bool given_[members::kMaxParams] = {};
};

// A class's member calls, one per row of its member table: found by id and kind of access.
template <class Target>
struct Binding {
  DISPID id;
  WORD invoke;
  HRESULT (*call)(Target& target, const Arguments& args, VARIANT& result);
};

// Each row has exactly one binding, and each binding a row.
template <class Target, std::size_t N>
constexpr bool one_call_per_member(std::span<const members::Member> rows,
                                   const Binding<Target> (&bindings)[N]) {
  if (N != rows.size()) return false;
  for (const members::Member& m : rows) {
    int found = 0;
    for (const Binding<Target>& b : bindings) found += b.id == m.id && b.invoke == m.invoke;
    if (found != 1) return false;
  }
  return true;
}

// The calls in the order of the member table, each row's own.
template <std::size_t Rows, class Target, std::size_t N>
constexpr auto calls_in_row_order(const members::Member (&rows)[Rows],
                                  const Binding<Target> (&bindings)[N]) {
  std::array<HRESULT (*)(Target&, const Arguments&, VARIANT&), Rows> calls{};
  for (std::size_t i = 0; i < Rows; ++i)
    for (const Binding<Target>& b : bindings)
      if (b.id == rows[i].id && b.invoke == rows[i].invoke) calls[i] = b.call;
  return calls;
}

// One class as Invoke sees it: its rows, the source its failures name, and how a row is called.
struct Binder {
  std::span<const members::Member> rows;
  const OLECHAR* source;  // the class's programmatic identifier
  void* target;
  HRESULT (*call)(void* target, std::size_t row, const Arguments& args, VARIANT& result);
};

// IDispatch::GetIDsOfNames: the member's id for names[0], parameter ids (their positions) for the
// rest; letter case does not matter. Unknown names get DISPID_UNKNOWN and DISP_E_UNKNOWNNAME.
HRESULT ids_of_names(std::span<const members::Member> rows, REFIID riid, LPOLESTR* names,
                     UINT count, DISPID* ids) noexcept;

// IDispatch::Invoke. Arguments are converted to the declared types, references read through
// and, for Spec, written back; omitted optional arguments get their defaults. A failure of the
// member is DISP_E_EXCEPTION with its status code and description in `excep`.
HRESULT invoke(const Binder& binder, DISPID id, REFIID riid, WORD flags, DISPPARAMS* params,
               VARIANT* result, EXCEPINFO* excep, UINT* arg_error) noexcept;

}  // namespace quilmar::dispatch
