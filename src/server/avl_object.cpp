#include "server/avl_object.h"

#include <new>

#include "host/failure.h"
#include "server/coerce.h"
#include "server/collection.h"
#include "server/dispatch.h"
#include "server/enumerator.h"
#include "server/member_support.h"
#include "server/module.h"
#include "server/sort.h"

namespace quilmar {
namespace {

using Keep = Hold<AvlObject>;

HRESULT failed_call() noexcept {
  return quilmar::failed_call(kStoreErrors);
}

HRESULT failed(HRESULT code) noexcept {
  return quilmar::failed(kStoreErrors, code);
}

}  // namespace

AvlObject::AvlObject() noexcept : ErrorInfoSupport(kStoreErrors) {
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
      IsEqualIID(riid, IID__clsAVLt) || IsEqualIID(riid, IID__clsAVLt2) ||
      IsEqualIID(riid, IID__clsAVLt3)) {
    *object = static_cast<_clsAVLt3*>(this);
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
  const Keep hold(this);
  return dispatch::invoke(*this, id, riid, flags, params, result, excep, arg_error);
}

// The members share one shape: noexcept, the body one function-try-block, and every
// failure that reaches the end of it turned into the call's status by failed_call().

HRESULT AvlObject::Read(MODEVAL* Spec, VARIANT* result) noexcept try {
  if (!Spec || !result) return E_POINTER;
  VariantInit(result);
  const Keep hold(this);
  store_.read(*Spec, *result);
  return S_OK;
} catch (...) {
  return failed_call();
}

HRESULT AvlObject::Alloc(FLOAT* Siz, VARIANT_BOOL* result) noexcept try {
  if (!Siz || !result) return E_POINTER;
  const Keep hold(this);
  *result = store_.alloc(*Siz) ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
} catch (...) {
  return failed_call();
}

HRESULT AvlObject::Indata(VARIANT* Getdata, VARIANT* AddData, VARIANT* result) noexcept try {
  if (!Getdata || !AddData || !result) return E_POINTER;
  VariantInit(result);
  const Keep hold(this);
  store_.indata(*Getdata, *AddData);
  return S_OK;
} catch (...) {
  return failed_call();
}

HRESULT AvlObject::ReadSub(VARIANT* result) noexcept try {
  if (!result) return E_POINTER;
  VariantInit(result);
  const Keep hold(this);
  store_.read_sub(*result);
  return S_OK;
} catch (...) {
  return failed_call();
}

HRESULT AvlObject::put_Egnore(EGN_MOD* Val) noexcept try {
  if (!Val) return E_POINTER;
  const Keep hold(this);
  store_.set_egnore(*Val);
  return S_OK;
} catch (...) {
  return failed_call();
}

HRESULT AvlObject::get_Egnore(EGN_MOD* result) noexcept try {
  if (!result) return E_POINTER;
  const Keep hold(this);
  *result = store_.egnore();
  return S_OK;
} catch (...) {
  return failed_call();
}

HRESULT AvlObject::get_MemorySize(LONG* result) noexcept try {
  if (!result) return E_POINTER;
  *result = 0;
  const Keep hold(this);
  *result = store_.memory_size();
  return S_OK;
} catch (...) {
  return failed_call();
}

HRESULT AvlObject::get_DataNumber(LONG* result) noexcept try {
  if (!result) return E_POINTER;
  *result = 0;
  const Keep hold(this);
  *result = store_.data_number();
  return S_OK;
} catch (...) {
  return failed_call();
}

HRESULT AvlObject::get_GetVersion(BSTR* result) noexcept try {
  if (!result) return E_POINTER;
  *result = nullptr;
  const Keep hold(this);
  *result = Bstr(Store::version()).release();
  return S_OK;
} catch (...) {
  return failed_call();
}

HRESULT AvlObject::get_Count(LONG* result) noexcept {
  return get_DataNumber(result);
}

HRESULT AvlObject::get_Item(VARIANT Key, VARIANT* result) noexcept try {
  if (!result) return E_POINTER;
  VariantInit(result);
  const Keep hold(this);
  return store_.item(Key, *result) ? S_OK : failed(kSubscriptOutOfRange);
} catch (...) {
  return failed_call();
}

HRESULT AvlObject::put_Item(VARIANT Key, VARIANT Payload) noexcept try {
  const Keep hold(this);
  switch (store_.put_item(Key, Payload)) {
    case Store::Put::replaced:
    case Store::Put::inserted: return S_OK;
    case Store::Put::refused: return failed(kInvalidArgument);
    case Store::Put::no_room: return failed(kOutOfMemory);
  }
  return failed(kInvalidArgument);
} catch (...) {
  return failed_call();
}

// Objects are stored as references either way; Set only tells the script's intent.
HRESULT AvlObject::putref_Item(VARIANT Key, VARIANT Payload) noexcept {
  return put_Item(Key, Payload);
}

HRESULT AvlObject::Exists(VARIANT Key, VARIANT_BOOL* result) noexcept try {
  if (!result) return E_POINTER;
  const Keep hold(this);
  *result = store_.exists(Key) ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
} catch (...) {
  return failed_call();
}

HRESULT AvlObject::Find(VARIANT Key, VARIANT_BOOL* result) noexcept try {
  if (!result) return E_POINTER;
  const Keep hold(this);
  *result = store_.find(Key) ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
} catch (...) {
  return failed_call();
}

HRESULT AvlObject::Seek(VARIANT Key, SEEKMODE How, VARIANT* result) noexcept try {
  if (!result) return E_POINTER;
  VariantInit(result);
  const Keep hold(this);
  store_.seek(Key, How, *result);  // Empty when no key qualifies
  return S_OK;
} catch (...) {
  return failed_call();
}

HRESULT AvlObject::Keys(VARIANT Low, VARIANT High, VARIANT* result) noexcept try {
  if (!result) return E_POINTER;
  VariantInit(result);
  const Keep hold(this);
  collection::copy_range(store_, Field::key, Low, High, *result);
  return S_OK;
} catch (...) {
  return failed_call();
}

HRESULT AvlObject::Items(VARIANT Low, VARIANT High, VARIANT* result) noexcept try {
  if (!result) return E_POINTER;
  VariantInit(result);
  const Keep hold(this);
  collection::copy_range(store_, Field::payload, Low, High, *result);
  return S_OK;
} catch (...) {
  return failed_call();
}

HRESULT AvlObject::get__NewEnum(IUnknown** result) noexcept {
  if (!result) return E_POINTER;
  *result = nullptr;
  IEnumVARIANT* made = nullptr;
  const HRESULT hr = KeyEnumerator::create(store_, static_cast<_clsAVLt3*>(this), &made);
  if (FAILED(hr)) return failed(hr);
  *result = made;
  return S_OK;
}

HRESULT AvlObject::Remove(VARIANT Key, LONG* result) noexcept try {
  if (!result) return E_POINTER;
  *result = 0;
  const Keep hold(this);  // a released payload may release the client's last reference
  *result = static_cast<LONG>(store_.remove(Key));
  return S_OK;
} catch (...) {
  return failed_call();
}

HRESULT AvlObject::RemoveCurrent(VARIANT* result) noexcept try {
  if (!result) return E_POINTER;
  VariantInit(result);
  const Keep hold(this);
  store_.remove_current(*result);
  return S_OK;
} catch (...) {
  return failed_call();
}

HRESULT AvlObject::RemoveAll() noexcept {
  const Keep hold(this);
  store_.remove_all();
  return S_OK;
}

HRESULT AvlObject::get_CompareMode(LONG* result) noexcept {
  if (!result) return E_POINTER;
  *result = store_.compare_mode();
  return S_OK;
}

HRESULT AvlObject::put_CompareMode(LONG Mode) noexcept try {
  store_.set_compare_mode(Mode);
  return S_OK;
} catch (...) {
  return failed_call();
}

HRESULT AvlObject::KeyAt(LONG Index, VARIANT* result) noexcept try {
  if (!result) return E_POINTER;
  VariantInit(result);
  const Keep hold(this);
  store_.key_at(Index, *result);
  return S_OK;
} catch (...) {
  return failed_call();
}

HRESULT AvlObject::get_ItemAt(LONG Index, VARIANT* result) noexcept try {
  if (!result) return E_POINTER;
  VariantInit(result);
  const Keep hold(this);
  store_.item_at(Index, *result);
  return S_OK;
} catch (...) {
  return failed_call();
}

HRESULT AvlObject::put_ItemAt(LONG Index, VARIANT Payload) noexcept try {
  const Keep hold(this);  // the payload replaced may be an object whose release calls back
  store_.put_item_at(Index, Payload);
  return S_OK;
} catch (...) {
  return failed_call();
}

HRESULT AvlObject::putref_ItemAt(LONG Index, VARIANT Payload) noexcept {
  return put_ItemAt(Index, Payload);
}

HRESULT AvlObject::IndexOf(VARIANT Key, LONG* result) noexcept try {
  if (!result) return E_POINTER;
  *result = -1;
  const Keep hold(this);
  *result = store_.index_of(Key);
  return S_OK;
} catch (...) {
  return failed_call();
}

HRESULT AvlObject::RemoveAt(LONG Index) noexcept try {
  const Keep hold(this);
  store_.remove_at(Index);
  return S_OK;
} catch (...) {
  return failed_call();
}

HRESULT AvlObject::get_Position(LONG* result) noexcept try {
  if (!result) return E_POINTER;
  *result = -1;
  const Keep hold(this);
  *result = store_.position();
  return S_OK;
} catch (...) {
  return failed_call();
}

HRESULT AvlObject::put_Position(LONG Index) noexcept try {
  const Keep hold(this);
  store_.set_position(Index);
  return S_OK;
} catch (...) {
  return failed_call();
}

HRESULT AvlObject::Load(VARIANT Source, VARIANT KeyColumn, VARIANT ItemColumn,
                        LONG* result) noexcept try {
  if (!result) return E_POINTER;
  *result = 0;
  const Keep hold(this);  // reading a JScript array calls the script engine
  Variant no_payload;
  make_empty_text(*no_payload.get());  // as Indata's AddData left out
  *result =
      collection::load(store_, Source, KeyColumn, ItemColumn, Store::LoadAs::indata, *no_payload);
  return S_OK;
} catch (...) {
  return failed_call();
}

HRESULT AvlObject::ToArray(VARIANT Low, VARIANT High, VARIANT* result) noexcept try {
  if (!result) return E_POINTER;
  VariantInit(result);
  const Keep hold(this);
  collection::to_array(store_, Low, High, *result);
  return S_OK;
} catch (...) {
  return failed_call();
}

HRESULT AvlObject::Sort(VARIANT Values, VARIANT By, VARIANT Descending, VARIANT* result) noexcept
    try {
  if (!result) return E_POINTER;
  VariantInit(result);
  const Keep hold(this);  // reading a JScript array calls the script engine
  *result = sort_values(Values, By, Descending, store_.compare_mode() > 0).release();
  return S_OK;
} catch (...) {
  return failed_call();
}

}  // namespace quilmar
