// Variants of every kind for tests and the fuzzer, owned so that nothing leaks; with the count of
// live strings that tells whether something did.
#pragma once

#include <cstdint>
#include <string>

#include "com_stand_in/live_strings.h"
#include "host/variant.h"

namespace quilmar::test {

Variant empty();
Variant null();
Variant i1(signed char v);
Variant ui1(BYTE v);
Variant i2(SHORT v);
Variant ui2(USHORT v);
Variant i4(LONG v);
Variant ui4(ULONG v);
Variant i8(LONGLONG v);
Variant ui8(ULONGLONG v);
Variant r4(float v);
Variant r8(double v);
Variant date(double v);
Variant boolean(bool v);
Variant currency(LONGLONG scaled_by_10000);
Variant decimal(bool negative, BYTE scale, ULONG hi, ULONGLONG lo);
Variant error(SCODE v);
Variant text(const std::u16string& v);
Variant text(const char* ascii);
// A COM object to pass as a key or payload; it counts the references the store takes and gives
// back, so one that is never released shows up. Tests and the fuzzer share it.
class Counted final : public IDispatch {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IDispatch)) return E_NOINTERFACE;
    *object = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return E_NOTIMPL;
  }
  ULONG refs = 1;  // the owner's own
};

// A Variant with every byte defined, Empty (VariantInit leaves the value bytes alone on Windows).
VARIANT blank();

// A by-reference Variant naming `target`, as script clients pass their variables.
VARIANT by_ref(VARIANT& target);

// The Variant as readable text for failure messages: "I4 5", "BSTR \"abc\"".
std::string describe(const VARIANT& v);

// Text as the component's own string type, from ASCII or UTF-16 literals.
Text T(const char* ascii);
Text T(const std::u16string& s);

}  // namespace quilmar::test
