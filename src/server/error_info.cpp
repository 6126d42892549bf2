#include "server/error_info.h"

#include <cstddef>
#include <iterator>

#include "host/failure.h"
#include "server/member_support.h"

namespace quilmar {
namespace {

// One object's calls come on its apartment's thread: a failure and the Invoke that reports it
// meet here. Plain storage: a thread-local with a destructor would pin the DLL in memory until
// the thread ends, so that COM could never unload it.
struct LastFailure {
  HRESULT code = S_OK;
  std::size_t length = 0;
  OLECHAR text[512];  // a longer description is cut
};
thread_local LastFailure last;

void remember(HRESULT code, const OLECHAR* text) noexcept {
  last.code = code;
  last.length = 0;
  while (text && text[last.length] && last.length < std::size(last.text)) {
    last.text[last.length] = text[last.length];
    ++last.length;
  }
}

bool store_interface(REFIID riid) noexcept {
  return IsEqualIID(riid, IID__clsAVLt) || IsEqualIID(riid, IID__clsAVLt2) ||
         IsEqualIID(riid, IID__clsAVLt3);
}

bool dictionary_interface(REFIID riid) noexcept {
  return IsEqualIID(riid, IID_ISortedDictionary);
}

}  // namespace

const ErrorSource kStoreErrors = {OLESTR("") QUILMAR_PROG_ID, &IID__clsAVLt, store_interface};
const ErrorSource kDictionaryErrors = {OLESTR("") QUILMAR_DICTIONARY_PROG_ID,
                                       &IID_ISortedDictionary, dictionary_interface};

void set_error_info(const ErrorSource& from, HRESULT code, const Text& description) noexcept {
  const OLECHAR* conventional = failure_description(code);
  const OLECHAR* text = description.empty() ? conventional : description.c_str();
  remember(code, text);
  post_error_info(from, text);
}

void forget_failure_description() noexcept {
  last.code = S_OK;
}

Text failure_description_for(HRESULT code) {
  if (last.code == code && last.length) return Text(last.text, last.length);
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
