#include "server/enumerator.h"

#include <new>

#include "host/failure.h"
#include "host/variant.h"
#include "server/module.h"

namespace quilmar {
namespace {

// Writes the keys into the caller's array; on a failure the ones written are cleared again.
class CallerArraySink final : public ValueSink {
 public:
  explicit CallerArraySink(VARIANT* out) noexcept : out_(out) {}
  CallerArraySink(const CallerArraySink&) = delete;
  CallerArraySink& operator=(const CallerArraySink&) = delete;
  ~CallerArraySink() {
    if (!kept_)
      for (ULONG i = 0; i < written_; ++i) VariantClear(&out_[i]);
  }
  void take(const VARIANT& value) override {
    copy_value(out_[written_], value);
    ++written_;
  }
  void keep() noexcept { kept_ = true; }

 private:
  VARIANT* out_;
  ULONG written_ = 0;
  bool kept_ = false;
};

}  // namespace

KeyEnumerator::KeyEnumerator(Store& store, IUnknown* owner, Positions::Id position) noexcept
    : store_(store), owner_(owner), position_(position) {
  owner_->AddRef();
  module::add_ref();
}

KeyEnumerator::~KeyEnumerator() {
  store_.close_position(position_);
  owner_->Release();
  module::release();
}

HRESULT KeyEnumerator::create(Store& store, IUnknown* owner, IEnumVARIANT** result) noexcept try {
  if (!result) return E_POINTER;
  *result = nullptr;
  return wrap(store, owner, store.open_position(), result);
} catch (...) {
  return status_from_current_exception();
}

HRESULT KeyEnumerator::wrap(Store& store, IUnknown* owner, Positions::Id position,
                            IEnumVARIANT** result) noexcept {
  auto* made = new (std::nothrow) KeyEnumerator(store, owner, position);
  if (!made) {
    store.close_position(position);
    return E_OUTOFMEMORY;
  }
  *result = made;
  return S_OK;
}

HRESULT KeyEnumerator::QueryInterface(REFIID riid, void** object) noexcept {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IEnumVARIANT)) return E_NOINTERFACE;
  *object = static_cast<IEnumVARIANT*>(this);
  AddRef();
  return S_OK;
}

ULONG KeyEnumerator::AddRef() noexcept {
  return ++refs_;
}

ULONG KeyEnumerator::Release() noexcept {
  const ULONG left = --refs_;
  if (left == 0) {
    refs_ = 1;  // a stable count: AddRef/Release during destruction cannot delete twice
    delete this;
  }
  return left;
}

HRESULT KeyEnumerator::Next(ULONG celt, VARIANT* rgVar, ULONG* pCeltFetched) noexcept try {
  if (pCeltFetched) *pCeltFetched = 0;
  if (celt && !rgVar) return E_POINTER;
  for (ULONG i = 0; i < celt; ++i) VariantInit(&rgVar[i]);
  CallerArraySink sink(rgVar);
  const std::size_t got = store_.next_keys(position_, celt, sink);
  sink.keep();
  if (pCeltFetched) *pCeltFetched = static_cast<ULONG>(got);
  return got == celt ? S_OK : S_FALSE;
} catch (...) {
  return status_from_current_exception();
}

HRESULT KeyEnumerator::Skip(ULONG celt) noexcept try {
  return store_.skip_keys(position_, celt) == celt ? S_OK : S_FALSE;
} catch (...) {
  return status_from_current_exception();
}

HRESULT KeyEnumerator::Reset() noexcept try {
  store_.reset_position(position_);
  return S_OK;
} catch (...) {
  return status_from_current_exception();
}

HRESULT KeyEnumerator::Clone(IEnumVARIANT** ppEnum) noexcept try {
  if (!ppEnum) return E_POINTER;
  *ppEnum = nullptr;
  return wrap(store_, owner_, store_.clone_position(position_), ppEnum);
} catch (...) {
  return status_from_current_exception();
}

}  // namespace quilmar
