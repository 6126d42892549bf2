#include "server/error_info.h"

#include "host/failure.h"
#include "server/member_support.h"

namespace quilmar {
namespace {

// One object's calls come on its apartment's thread: a failure and the Invoke that reports it
// meet here.
struct LastFailure {
  HRESULT code = S_OK;
  Text description;
};
thread_local LastFailure last;

bool store_interface(REFIID riid) noexcept {
  return IsEqualIID(riid, IID__clsAVLt) || IsEqualIID(riid, IID__clsAVLt2) ||
         IsEqualIID(riid, IID__clsAVLt3);
}

bool dictionary_interface(REFIID riid) noexcept {
  return IsEqualIID(riid, IID_ISortedDictionary);
}

}  // namespace

const ErrorSource kStoreErrors = {OLESTR("") QUILMAR_PROG_ID, &IID__clsAVLt, store_interface};
const ErrorSource kDictionaryErrors = {OLESTR("Quilmar.SortedDictionary"), &IID_ISortedDictionary,
                                       dictionary_interface};

void set_error_info(const ErrorSource& from, HRESULT code, const Text& description) noexcept {
  const OLECHAR* conventional = failure_description(code);
  const OLECHAR* text = description.empty() ? conventional : description.c_str();
  try {
    last = {code, text ? Text(text) : Text()};
  } catch (...) {
    last = {};  // without memory for the text, the conventional one will do
  }
  post_error_info(from, text);
}

void forget_failure_description() noexcept {
  last.code = S_OK;
}

Text failure_description_for(HRESULT code) {
  if (last.code == code && !last.description.empty()) return last.description;
  const OLECHAR* conventional = failure_description(code);
  return conventional ? Text(conventional) : Text();
}

HRESULT failed_call(const ErrorSource& from) noexcept {
  const HRESULT hr = status_from_current_exception();
  try {
    set_error_info(from, hr, description_of_current_exception());
  } catch (...) {
    set_error_info(from, hr);
  }
  return hr;
}

HRESULT failed(const ErrorSource& from, HRESULT code) noexcept {
  set_error_info(from, code);
  return code;
}

}  // namespace quilmar
