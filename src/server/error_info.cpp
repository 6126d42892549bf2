#include "server/error_info.h"

#include "host/failure.h"

namespace quilmar {
namespace {

// One object's calls come on its apartment's thread: a failure and the Invoke that reports it
// meet here.
struct LastFailure {
  HRESULT code = S_OK;
  Text description;
};
thread_local LastFailure last;

}  // namespace

void set_error_info(HRESULT code, const Text& description) noexcept {
  const OLECHAR* conventional = failure_description(code);
  const OLECHAR* text = description.empty() ? conventional : description.c_str();
  try {
    last = {code, text ? Text(text) : Text()};
  } catch (...) {
    last = {};  // without memory for the text, the conventional one will do
  }
  post_error_info(code, text);
}

void forget_failure_description() noexcept {
  last.code = S_OK;
}

Text failure_description_for(HRESULT code) {
  if (last.code == code && !last.description.empty()) return last.description;
  const OLECHAR* conventional = failure_description(code);
  return conventional ? Text(conventional) : Text();
}

}  // namespace quilmar
