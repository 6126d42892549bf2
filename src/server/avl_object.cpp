#include "server/avl_object.h"

#include <new>

#include "host/failure.h"
#include "server/dispatch.h"
#include "server/module.h"

namespace quilmar {
namespace {

// Keeps the object alive from a member's entry to its exit, whatever the client releases
// meanwhile (from inside the event pump, say).
class Hold {
 public:
  explicit Hold(AvlObject* object) noexcept : object_(object) { object_->AddRef(); }
  ~Hold() { object_->Release(); }
  Hold(const Hold&) = delete;
  Hold& operator=(const Hold&) = delete;

 private:
  AvlObject* object_;  // the final class: AddRef and Release are direct calls
};

// The status code of the failure being handled, also left as error info for vtable callers.
HRESULT failed_call() noexcept {
  const HRESULT hr = status_from_current_exception();
  set_error_info(hr);
  return hr;
}

}  // namespace

AvlObject::AvlObject() noexcept {
  module::add_ref();
}
AvlObject::~AvlObject() {
  module::release();
}

HRESULT AvlObject::create(REFIID riid, void** object) noexcept try {
  if (!object) return E_POINTER;
  *object = nullptr;
  AvlObject* self = new (std::nothrow) AvlObject();
  if (!self) return E_OUTOFMEMORY;
  // The construction step: Alloc 100 through the object's own interface, its result ignored.
  FLOAT siz = 100;
  VARIANT_BOOL built = VARIANT_FALSE;
  HRESULT hr = self->Alloc(&siz, &built);
  if (SUCCEEDED(hr)) hr = self->QueryInterface(riid, object);
  self->Release();
  return hr;
} catch (...) {
  return status_from_current_exception();
}

HRESULT AvlObject::QueryInterface(REFIID riid, void** object) noexcept {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
      IsEqualIID(riid, IID__clsAVLt)) {
    *object = static_cast<_clsAVLt*>(this);
    AddRef();
    return S_OK;
  }
  if (void* face = error_info_interface(*this, riid)) {
    *object = face;
    AddRef();
    return S_OK;
  }
  return E_NOINTERFACE;
}

ULONG AvlObject::AddRef() noexcept {
  return ++refs_;
}

ULONG AvlObject::Release() noexcept {
  const ULONG left = --refs_;
  if (left == 0) {
    refs_ = 1;  // a stable count: AddRef/Release during destruction cannot delete twice
    delete this;
  }
  return left;
}

HRESULT AvlObject::GetTypeInfoCount(UINT* count) noexcept {
  return type_info_.count(count);
}

HRESULT AvlObject::GetTypeInfo(UINT index, LCID, ITypeInfo** info) noexcept {
  return type_info_.get(index, info);
}

HRESULT AvlObject::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                 DISPID* ids) noexcept {
  return dispatch::ids_of_names(riid, names, count, ids);
}

HRESULT AvlObject::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                          VARIANT* result, EXCEPINFO* excep, UINT* arg_error) noexcept {
  const Hold hold(this);
  return dispatch::invoke(*this, id, riid, flags, params, result, excep, arg_error);
}

// The nine members share one shape: noexcept, the body one function-try-block, and every
// failure that reaches the end of it turned into the call's status by failed_call().

HRESULT AvlObject::Read(MODEVAL* Spec, VARIANT* result) noexcept try {
  if (!Spec || !result) return E_POINTER;
  VariantInit(result);
  const Hold hold(this);
  store_.read(*Spec, *result);
  return S_OK;
} catch (...) {
  return failed_call();
}

HRESULT AvlObject::Alloc(FLOAT* Siz, VARIANT_BOOL* result) noexcept try {
  if (!Siz || !result) return E_POINTER;
  const Hold hold(this);
  *result = store_.alloc(*Siz) ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
} catch (...) {
  return failed_call();
}

HRESULT AvlObject::Indata(VARIANT* Getdata, VARIANT* AddData, VARIANT* result) noexcept try {
  if (!Getdata || !AddData || !result) return E_POINTER;
  VariantInit(result);
  const Hold hold(this);
  store_.indata(*Getdata, *AddData);
  return S_OK;
} catch (...) {
  return failed_call();
}

HRESULT AvlObject::ReadSub(VARIANT* result) noexcept try {
  if (!result) return E_POINTER;
  VariantInit(result);
  const Hold hold(this);
  store_.read_sub(*result);
  return S_OK;
} catch (...) {
  return failed_call();
}

HRESULT AvlObject::put_Egnore(EGN_MOD* Val) noexcept try {
  if (!Val) return E_POINTER;
  const Hold hold(this);
  store_.set_egnore(*Val);
  return S_OK;
} catch (...) {
  return failed_call();
}

HRESULT AvlObject::get_Egnore(EGN_MOD* result) noexcept try {
  if (!result) return E_POINTER;
  const Hold hold(this);
  *result = store_.egnore();
  return S_OK;
} catch (...) {
  return failed_call();
}

HRESULT AvlObject::get_MemorySize(LONG* result) noexcept try {
  if (!result) return E_POINTER;
  *result = 0;
  const Hold hold(this);
  *result = store_.memory_size();
  return S_OK;
} catch (...) {
  return failed_call();
}

HRESULT AvlObject::get_DataNumber(LONG* result) noexcept try {
  if (!result) return E_POINTER;
  *result = 0;
  const Hold hold(this);
  *result = store_.data_number();
  return S_OK;
} catch (...) {
  return failed_call();
}

HRESULT AvlObject::get_GetVersion(BSTR* result) noexcept try {
  if (!result) return E_POINTER;
  *result = nullptr;
  const Hold hold(this);
  *result = Bstr(Store::version()).release();
  return S_OK;
} catch (...) {
  return failed_call();
}

}  // namespace quilmar
