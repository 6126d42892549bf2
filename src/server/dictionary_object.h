// The COM object SortedDictionary: a dictionary's members and rules over a Store of dictionary
// keys, so that code written for a dictionary runs unchanged and its keys come out in order.
#pragma once

#include "quilmar/quilmar.h"
#include "server/error_info.h"
#include "server/interface_type_info.h"
#include "store/store.h"

namespace quilmar {

class DictionaryObject final : public ISortedDictionary,
                               public IProvideClassInfo,
                               public ErrorInfoSupport {
 public:
  static HRESULT create(REFIID riid, void** object) noexcept;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) noexcept override;
  ULONG STDMETHODCALLTYPE AddRef() noexcept override;
  ULONG STDMETHODCALLTYPE Release() noexcept override;

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) noexcept override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                          DISPID* ids) noexcept override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags,
                                   DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                                   UINT* arg_error) noexcept override;
  // The class itself, as TypeName reads it.
  HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) noexcept override;

  HRESULT STDMETHODCALLTYPE put_Item(VARIANT Key, VARIANT Item) noexcept override;
  HRESULT STDMETHODCALLTYPE putref_Item(VARIANT Key, VARIANT Item) noexcept override;
  HRESULT STDMETHODCALLTYPE get_Item(VARIANT Key, VARIANT* result) noexcept override;
  HRESULT STDMETHODCALLTYPE Add(VARIANT Key, VARIANT Item) noexcept override;
  HRESULT STDMETHODCALLTYPE get_Count(LONG* result) noexcept override;
  HRESULT STDMETHODCALLTYPE Exists(VARIANT Key, VARIANT_BOOL* result) noexcept override;
  HRESULT STDMETHODCALLTYPE Items(VARIANT Low, VARIANT High, VARIANT* result) noexcept override;
  HRESULT STDMETHODCALLTYPE put_Key(VARIANT Key, VARIANT NewKey) noexcept override;
  HRESULT STDMETHODCALLTYPE Keys(VARIANT Low, VARIANT High, VARIANT* result) noexcept override;
  HRESULT STDMETHODCALLTYPE Remove(VARIANT Key) noexcept override;
  HRESULT STDMETHODCALLTYPE RemoveAll() noexcept override;
  HRESULT STDMETHODCALLTYPE put_CompareMode(LONG Mode) noexcept override;
  HRESULT STDMETHODCALLTYPE get_CompareMode(LONG* result) noexcept override;
  HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown** result) noexcept override;
  HRESULT STDMETHODCALLTYPE KeyAt(LONG Index, VARIANT* result) noexcept override;
  HRESULT STDMETHODCALLTYPE get_ItemAt(LONG Index, VARIANT* result) noexcept override;
  HRESULT STDMETHODCALLTYPE put_ItemAt(LONG Index, VARIANT Item) noexcept override;
  HRESULT STDMETHODCALLTYPE putref_ItemAt(LONG Index, VARIANT Item) noexcept override;
  HRESULT STDMETHODCALLTYPE IndexOf(VARIANT Key, LONG* result) noexcept override;
  HRESULT STDMETHODCALLTYPE RemoveAt(LONG Index) noexcept override;
  HRESULT STDMETHODCALLTYPE Seek(VARIANT Key, SEEKMODE How, VARIANT* result) noexcept override;
  HRESULT STDMETHODCALLTYPE Load(VARIANT Source, VARIANT KeyColumn, VARIANT ItemColumn,
                                 LONG* result) noexcept override;
  HRESULT STDMETHODCALLTYPE ToArray(VARIANT Low, VARIANT High, VARIANT* result) noexcept override;
  HRESULT STDMETHODCALLTYPE Sort(VARIANT Values, VARIANT By, VARIANT Descending,
                                 VARIANT* result) noexcept override;

  // The store behind the interface, for tests of this library.
  const Store& store() const noexcept { return store_; }

 private:
  DictionaryObject() noexcept;
  ~DictionaryObject();

  ULONG refs_ = 1;  // apartment model, as the other class's
  Store store_{KeyKinds::dictionary};
  InterfaceTypeInfo type_info_{IID_ISortedDictionary};
  InterfaceTypeInfo class_info_{CLSID_SortedDictionary};
};

}  // namespace quilmar
