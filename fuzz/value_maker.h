// Builds Variants of every kind a client may hand the store, from the fuzzer's input. The maker
// owns everything it hands out (strings, by-reference targets, the probe object) and frees it in
// its destructor, so the Variants it builds are never cleared by their users.
#pragma once

#include <deque>
#include <vector>

#include "input.h"
#include "quilmar/com_types.h"

namespace quilmar::fuzz {

// A COM object to store as a payload: it counts its references, so a reference the store
// forgets to release shows up.
class Probe final : public IDispatch {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs_; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override;
  long refs() const { return refs_; }

 private:
  long refs_ = 1;  // the maker's own
};

class ValueMaker {
 public:
  explicit ValueMaker(Input& in) : in_(in) {}
  ~ValueMaker();
  ValueMaker(const ValueMaker&) = delete;
  ValueMaker& operator=(const ValueMaker&) = delete;

  // Any kind: numbers of every width, odd floats, texts with odd UTF-16, Empty, Null, errors,
  // objects, arrays, records, unknown tags, and by-reference wrappers around any of these.
  VARIANT any();
  // A key likely to collide with others: small integers, short texts, a few doubles.
  VARIANT plain_key(std::uint32_t r);
  const Probe& probe() const { return probe_; }

 private:
  VARIANT value(int depth);
  VARIANT by_reference(int depth);
  BSTR text(unsigned length_choice);
  BSTR own(BSTR s);
  VARIANT* cell();

  Input& in_;
  Probe probe_;
  std::vector<BSTR> strings_;
  std::deque<VARIANT> cells_;  // targets of by-reference Variants; deque keeps them in place
};

}  // namespace quilmar::fuzz
