// The IEnumVARIANT that _NewEnum hands out: For Each over the keys in ascending order. Each has its
// own position in the store's registry, so it never moves the cursor, and holds a reference on the
// object that owns the store, which keeps the store alive.
#pragma once

#include "quilmar/quilmar.h"
#include "store/store.h"

namespace quilmar {

class KeyEnumerator final : public IEnumVARIANT {
 public:
  // A new enumerator before the first key of `store`, which `owner` owns.
  static HRESULT create(Store& store, IUnknown* owner, IEnumVARIANT** result) noexcept;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) noexcept override;
  ULONG STDMETHODCALLTYPE AddRef() noexcept override;
  ULONG STDMETHODCALLTYPE Release() noexcept override;

  HRESULT STDMETHODCALLTYPE Next(ULONG celt, VARIANT* rgVar, ULONG* pCeltFetched) noexcept override;
  HRESULT STDMETHODCALLTYPE Skip(ULONG celt) noexcept override;
  HRESULT STDMETHODCALLTYPE Reset() noexcept override;
  HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT** ppEnum) noexcept override;

 private:
  KeyEnumerator(Store& store, IUnknown* owner, Positions::Id position) noexcept;
  // An enumerator at `position`, which it then owns; the position is closed when none can be had.
  static HRESULT wrap(Store& store, IUnknown* owner, Positions::Id position,
                      IEnumVARIANT** result) noexcept;
  ~KeyEnumerator();

  ULONG refs_ = 1;  // the object's apartment only, as the object's own count
  Store& store_;
  IUnknown* owner_;  // held
  Positions::Id position_;
};

}  // namespace quilmar
