// Run-time failures inside the component travel as C++ exceptions carrying their status code; each
// public member has one boundary that turns them back into that code.
#pragma once

#include <exception>
#include <utility>

#include "host/text.h"
#include "quilmar/com_types.h"

namespace quilmar {

inline constexpr HRESULT kSubscriptOutOfRange = static_cast<HRESULT>(0x800A0009);
inline constexpr HRESULT kOverflow = static_cast<HRESULT>(0x800A0006);
inline constexpr HRESULT kInvalidArgument = static_cast<HRESULT>(0x800A0005);
inline constexpr HRESULT kOutOfMemory = static_cast<HRESULT>(0x800A0007);
inline constexpr HRESULT kTypeMismatch = static_cast<HRESULT>(0x800A000D);     // 13, for scripts
inline constexpr HRESULT kKeyExists = static_cast<HRESULT>(0x800A01C9);        // 457
inline constexpr HRESULT kElementNotFound = static_cast<HRESULT>(0x800A802B);  // 32811

// A failure with its status code and, when it says more than the code's conventional text, the
// description a client sees instead.
class Failure : public std::exception {
 public:
  explicit Failure(HRESULT code) noexcept : code_(code) {}
  Failure(HRESULT code, Text description) : code_(code), description_(std::move(description)) {}
  HRESULT code() const noexcept { return code_; }
  const Text& description() const noexcept { return description_; }
  const char* what() const noexcept override { return "quilmar run-time failure"; }

 private:
  HRESULT code_;
  Text description_;
};

[[noreturn]] inline void fail(HRESULT code) {
  throw Failure(code);
}

// The status code of the exception being handled; call only inside a catch block.
HRESULT status_from_current_exception() noexcept;

// The conventional description of a status code ("Subscript out of range"), or nullptr.
const OLECHAR* failure_description(HRESULT code) noexcept;

// The description of the exception being handled: its own, or its code's conventional one ("" for
// none); call only inside a catch block.
Text description_of_current_exception();

}  // namespace quilmar
