// What the C++ clients under Wine hold their references and Variants in. Needs no Quilmar header,
// so the client built against the frozen one shares it too.
#pragma once

#include <ole2.h>  // windows.h, then oleauto.h

#include <string>

namespace quilmar::test {

// Owns one interface reference.
template <class T>
class Ref {
 public:
  Ref() = default;
  ~Ref() { reset(); }
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  T* operator->() const { return p_; }
  T* get() const { return p_; }
  void** out() {
    reset();
    return reinterpret_cast<void**>(&p_);
  }
  void reset() {
    if (p_) p_->Release();
    p_ = nullptr;
  }

 private:
  T* p_ = nullptr;
};

// Owns one VARIANT. Passed by value to a member, it is a bitwise copy the callee does not own.
struct Var {
  VARIANT v;
  Var() { VariantInit(&v); }
  explicit Var(const wchar_t* text) : Var() {
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(text);
  }
  explicit Var(LONG n) : Var() {
    v.vt = VT_I4;
    v.lVal = n;
  }
  ~Var() { VariantClear(&v); }
  Var(const Var&) = delete;
  Var& operator=(const Var&) = delete;
  VARIANT* operator&() { return &v; }
  // The text of the value; "(empty)" for Empty, "(vt N)" for what does not convert.
  std::wstring text() const {
    if (v.vt == VT_EMPTY) return L"(empty)";
    VARIANT t;
    VariantInit(&t);
    if (FAILED(VariantChangeType(&t, const_cast<VARIANT*>(&v), 0, VT_BSTR)))
      return L"(vt " + std::to_wstring(v.vt) + L")";
    std::wstring s(t.bstrVal, SysStringLen(t.bstrVal));
    VariantClear(&t);
    return s;
  }
};

// Runs `body(param)` on a new thread and dispatches this thread's messages until it ends: calls it
// makes through a proxy to an object of this apartment arrive here as messages. False when it
// had not ended after 30 seconds.
inline bool run_pumping(LPTHREAD_START_ROUTINE body, void* param) {
  HANDLE thread = CreateThread(nullptr, 0, body, param, 0, nullptr);
  if (!thread) return false;
  DWORD waited;
  while ((waited = MsgWaitForMultipleObjects(1, &thread, FALSE, 30000, QS_ALLINPUT)) ==
         WAIT_OBJECT_0 + 1) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
  CloseHandle(thread);
  return waited == WAIT_OBJECT_0;
}

}  // namespace quilmar::test
