#include "server/dictionary_object.h"

#include <new>

#include "host/failure.h"
#include "server/collection.h"
#include "server/dictionary_dispatch.h"
#include "server/enumerator.h"
#include "server/member_support.h"
#include "server/module.h"
#include "server/sort.h"

namespace quilmar {
namespace {

using Keep = Hold<DictionaryObject>;

HRESULT failed_call() noexcept {
  return quilmar::failed_call(kDictionaryErrors);
}

// A key the call would store: NaN is an invalid argument, an array a type mismatch.
void check_key(const VARIANT& key) {
  if (is_dictionary_key(key)) return;
  const VARIANT& k = read_through(key);
  fail(k.vt & VT_ARRAY || (k.vt & VT_TYPEMASK) == VT_RECORD ? DISP_E_TYPEMISMATCH
                                                            : kInvalidArgument);
}

// A pair the dictionary lacked; no room is an out-of-memory failure.
void put(Store& store, const VARIANT& key, const VARIANT& item) {
  if (store.put_item(key, item) == Store::Put::no_room) fail(kOutOfMemory);
}

}  // namespace

DictionaryObject::DictionaryObject() noexcept : ErrorInfoSupport(kDictionaryErrors) {
  module::add_ref();
}
DictionaryObject::~DictionaryObject() {
  module::release();
}

HRESULT DictionaryObject::create(REFIID riid, void** object) noexcept try {
  if (!object) return E_POINTER;
  *object = nullptr;
  DictionaryObject* self = new (std::nothrow) DictionaryObject();
  if (!self) return E_OUTOFMEMORY;
  HRESULT hr = self->store_.alloc(100) ? S_OK : E_OUTOFMEMORY;
  if (SUCCEEDED(hr)) hr = self->QueryInterface(riid, object);
  self->Release();
  return hr;
} catch (...) {
  return status_from_current_exception();
}

HRESULT DictionaryObject::QueryInterface(REFIID riid, void** object) noexcept {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
      IsEqualIID(riid, IID_ISortedDictionary)) {
    *object = static_cast<ISortedDictionary*>(this);
  } else if (IsEqualIID(riid, IID_IProvideClassInfo)) {
    *object = static_cast<IProvideClassInfo*>(this);
  } else if (void* face = error_info_interface(*this, riid)) {
    *object = face;
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG DictionaryObject::AddRef() noexcept {
  return ++refs_;
}

ULONG DictionaryObject::Release() noexcept {
  const ULONG left = --refs_;
  if (left == 0) {
    refs_ = 1;  // a stable count: AddRef/Release during destruction cannot delete twice
    delete this;
  }
  return left;
}

HRESULT DictionaryObject::GetTypeInfoCount(UINT* count) noexcept {
  return type_info_.count(count);
}

HRESULT DictionaryObject::GetTypeInfo(UINT index, LCID, ITypeInfo** info) noexcept {
  return type_info_.get(index, info);
}

HRESULT DictionaryObject::GetClassInfo(ITypeInfo** info) noexcept {
  return class_info_.get(0, info);
}

HRESULT DictionaryObject::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                        DISPID* ids) noexcept {
  return dispatch::dictionary_ids_of_names(riid, names, count, ids);
}

HRESULT DictionaryObject::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                 VARIANT* result, EXCEPINFO* excep, UINT* arg_error) noexcept {
  const Keep hold(this);
  return dispatch::dictionary_invoke(*this, id, riid, flags, params, result, excep, arg_error);
}

HRESULT DictionaryObject::put_Item(VARIANT Key, VARIANT Item) noexcept try {
  const Keep hold(this);  // the item replaced may be an object whose release calls back
  check_key(Key);
  put(store_, Key, Item);
  return S_OK;
} catch (...) {
  return failed_call();
}

// Objects are stored as references either way; Set only tells the script's intent.
HRESULT DictionaryObject::putref_Item(VARIANT Key, VARIANT Item) noexcept {
  return put_Item(Key, Item);
}

HRESULT DictionaryObject::get_Item(VARIANT Key, VARIANT* result) noexcept try {
  if (!result) return E_POINTER;
  VariantInit(result);
  const Keep hold(this);
  check_key(Key);
  if (store_.item(Key, *result)) return S_OK;
  VARIANT empty;
  VariantInit(&empty);
  put(store_, Key, empty);  // a missing key is added, with the item Empty
  return S_OK;
} catch (...) {
  return failed_call();
}

HRESULT DictionaryObject::Add(VARIANT Key, VARIANT Item) noexcept try {
  const Keep hold(this);
  check_key(Key);
  if (store_.exists(Key)) fail(kKeyExists);
  put(store_, Key, Item);
  return S_OK;
} catch (...) {
  return failed_call();
}

HRESULT DictionaryObject::get_Count(LONG* result) noexcept try {
  if (!result) return E_POINTER;
  *result = store_.data_number();
  return S_OK;
} catch (...) {
  return failed_call();
}

HRESULT DictionaryObject::Exists(VARIANT Key, VARIANT_BOOL* result) noexcept try {
  if (!result) return E_POINTER;
  const Keep hold(this);
  *result = store_.exists(Key) ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
} catch (...) {
  return failed_call();
}

HRESULT DictionaryObject::Items(VARIANT Low, VARIANT High, VARIANT* result) noexcept try {
  if (!result) return E_POINTER;
  VariantInit(result);
  const Keep hold(this);
  collection::copy_range(store_, Field::payload, Low, High, *result);
  return S_OK;
} catch (...) {
  return failed_call();
}

HRESULT DictionaryObject::put_Key(VARIANT Key, VARIANT NewKey) noexcept try {
  const Keep hold(this);
  if (!store_.exists(Key)) fail(kElementNotFound);
  check_key(NewKey);
  if (store_.exists(NewKey)) fail(kKeyExists);  // the key itself included
  store_.rename(Key, NewKey);
  return S_OK;
} catch (...) {
  return failed_call();
}

HRESULT DictionaryObject::Keys(VARIANT Low, VARIANT High, VARIANT* result) noexcept try {
  if (!result) return E_POINTER;
  VariantInit(result);
  const Keep hold(this);
  collection::copy_range(store_, Field::key, Low, High, *result);
  return S_OK;
} catch (...) {
  return failed_call();
}

HRESULT DictionaryObject::Remove(VARIANT Key) noexcept try {
  const Keep hold(this);  // the item released may be an object whose release calls back
  if (store_.remove(Key) == 0) fail(kElementNotFound);
  return S_OK;
} catch (...) {
  return failed_call();
}

HRESULT DictionaryObject::RemoveAll() noexcept {
  const Keep hold(this);
  store_.remove_all();
  return S_OK;
}

HRESULT DictionaryObject::put_CompareMode(LONG Mode) noexcept try {
  store_.set_compare_mode(Mode);
  return S_OK;
} catch (...) {
  return failed_call();
}

HRESULT DictionaryObject::get_CompareMode(LONG* result) noexcept {
  if (!result) return E_POINTER;
  *result = store_.compare_mode();
  return S_OK;
}

HRESULT DictionaryObject::get__NewEnum(IUnknown** result) noexcept {
  if (!result) return E_POINTER;
  *result = nullptr;
  IEnumVARIANT* made = nullptr;
  const HRESULT hr = KeyEnumerator::create(store_, static_cast<ISortedDictionary*>(this), &made);
  if (FAILED(hr)) return quilmar::failed(kDictionaryErrors, hr);
  *result = made;
  return S_OK;
}

HRESULT DictionaryObject::KeyAt(LONG Index, VARIANT* result) noexcept try {
  if (!result) return E_POINTER;
  VariantInit(result);
  const Keep hold(this);
  store_.key_at(Index, *result);
  return S_OK;
} catch (...) {
  return failed_call();
}

HRESULT DictionaryObject::get_ItemAt(LONG Index, VARIANT* result) noexcept try {
  if (!result) return E_POINTER;
  VariantInit(result);
  const Keep hold(this);
  store_.item_at(Index, *result);
  return S_OK;
} catch (...) {
  return failed_call();
}

HRESULT DictionaryObject::put_ItemAt(LONG Index, VARIANT Item) noexcept try {
  const Keep hold(this);
  store_.put_item_at(Index, Item);
  return S_OK;
} catch (...) {
  return failed_call();
}

HRESULT DictionaryObject::putref_ItemAt(LONG Index, VARIANT Item) noexcept {
  return put_ItemAt(Index, Item);
}

HRESULT DictionaryObject::IndexOf(VARIANT Key, LONG* result) noexcept try {
  if (!result) return E_POINTER;
  *result = -1;
  const Keep hold(this);
  *result = store_.index_of(Key);
  return S_OK;
} catch (...) {
  return failed_call();
}

HRESULT DictionaryObject::RemoveAt(LONG Index) noexcept try {
  const Keep hold(this);
  store_.remove_at(Index);
  return S_OK;
} catch (...) {
  return failed_call();
}

HRESULT DictionaryObject::Seek(VARIANT Key, SEEKMODE How, VARIANT* result) noexcept try {
  if (!result) return E_POINTER;
  VariantInit(result);
  const Keep hold(this);
  store_.seek(Key, How, *result);  // Empty when no key qualifies
  return S_OK;
} catch (...) {
  return failed_call();
}

HRESULT DictionaryObject::Load(VARIANT Source, VARIANT KeyColumn, VARIANT ItemColumn,
                               LONG* result) noexcept try {
  if (!result) return E_POINTER;
  *result = 0;
  const Keep hold(this);  // reading a JScript array calls the script engine
  VARIANT empty;
  VariantInit(&empty);
  *result = collection::load(store_, Source, KeyColumn, ItemColumn, Store::LoadAs::item, empty);
  return S_OK;
} catch (...) {
  return failed_call();
}

HRESULT DictionaryObject::ToArray(VARIANT Low, VARIANT High, VARIANT* result) noexcept try {
  if (!result) return E_POINTER;
  VariantInit(result);
  const Keep hold(this);
  collection::to_array(store_, Low, High, *result);
  return S_OK;
} catch (...) {
  return failed_call();
}

HRESULT DictionaryObject::Sort(VARIANT Values, VARIANT By, VARIANT Descending,
                               VARIANT* result) noexcept try {
  if (!result) return E_POINTER;
  VariantInit(result);
  const Keep hold(this);
  *result = sort_values(Values, By, Descending, store_.compare_mode() > 0).release();
  return S_OK;
} catch (...) {
  return failed_call();
}

}  // namespace quilmar
