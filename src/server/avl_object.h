// The COM object clsAVLt: a Store behind the dual interface _clsAVLt3, which extends _clsAVLt2 and
// _clsAVLt.
#pragma once

#include "quilmar/quilmar.h"
#include "server/error_info.h"
#include "server/interface_type_info.h"
#include "store/store.h"

namespace quilmar {

class AvlObject final : public _clsAVLt3, public ErrorInfoSupport {
 public:
  // Builds a new object, runs the construction step and hands out `riid`.
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

  HRESULT STDMETHODCALLTYPE Read(MODEVAL* Spec, VARIANT* result) noexcept override;
  HRESULT STDMETHODCALLTYPE Alloc(FLOAT* Siz, VARIANT_BOOL* result) noexcept override;
  HRESULT STDMETHODCALLTYPE Indata(VARIANT* Getdata, VARIANT* AddData,
                                   VARIANT* result) noexcept override;
  HRESULT STDMETHODCALLTYPE ReadSub(VARIANT* result) noexcept override;
  HRESULT STDMETHODCALLTYPE put_Egnore(EGN_MOD* Val) noexcept override;
  HRESULT STDMETHODCALLTYPE get_Egnore(EGN_MOD* result) noexcept override;
  HRESULT STDMETHODCALLTYPE get_MemorySize(LONG* result) noexcept override;
  HRESULT STDMETHODCALLTYPE get_DataNumber(LONG* result) noexcept override;
  HRESULT STDMETHODCALLTYPE get_GetVersion(BSTR* result) noexcept override;

  HRESULT STDMETHODCALLTYPE get_Count(LONG* result) noexcept override;
  HRESULT STDMETHODCALLTYPE get_Item(VARIANT Key, VARIANT* result) noexcept override;
  HRESULT STDMETHODCALLTYPE put_Item(VARIANT Key, VARIANT Payload) noexcept override;
  HRESULT STDMETHODCALLTYPE putref_Item(VARIANT Key, VARIANT Payload) noexcept override;
  HRESULT STDMETHODCALLTYPE Exists(VARIANT Key, VARIANT_BOOL* result) noexcept override;
  HRESULT STDMETHODCALLTYPE Find(VARIANT Key, VARIANT_BOOL* result) noexcept override;
  HRESULT STDMETHODCALLTYPE Seek(VARIANT Key, SEEKMODE How, VARIANT* result) noexcept override;
  HRESULT STDMETHODCALLTYPE Keys(VARIANT Low, VARIANT High, VARIANT* result) noexcept override;
  HRESULT STDMETHODCALLTYPE Items(VARIANT Low, VARIANT High, VARIANT* result) noexcept override;
  HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown** result) noexcept override;
  HRESULT STDMETHODCALLTYPE Remove(VARIANT Key, LONG* result) noexcept override;
  HRESULT STDMETHODCALLTYPE RemoveCurrent(VARIANT* result) noexcept override;
  HRESULT STDMETHODCALLTYPE RemoveAll() noexcept override;

  HRESULT STDMETHODCALLTYPE get_CompareMode(LONG* result) noexcept override;
  HRESULT STDMETHODCALLTYPE put_CompareMode(LONG Mode) noexcept override;
  HRESULT STDMETHODCALLTYPE KeyAt(LONG Index, VARIANT* result) noexcept override;
  HRESULT STDMETHODCALLTYPE get_ItemAt(LONG Index, VARIANT* result) noexcept override;
  HRESULT STDMETHODCALLTYPE put_ItemAt(LONG Index, VARIANT Payload) noexcept override;
  HRESULT STDMETHODCALLTYPE putref_ItemAt(LONG Index, VARIANT Payload) noexcept override;
  HRESULT STDMETHODCALLTYPE IndexOf(VARIANT Key, LONG* result) noexcept override;
  HRESULT STDMETHODCALLTYPE RemoveAt(LONG Index) noexcept override;
  HRESULT STDMETHODCALLTYPE get_Position(LONG* result) noexcept override;
  HRESULT STDMETHODCALLTYPE put_Position(LONG Index) noexcept override;
  HRESULT STDMETHODCALLTYPE Load(VARIANT Source, VARIANT KeyColumn, VARIANT ItemColumn,
                                 LONG* result) noexcept override;
  HRESULT STDMETHODCALLTYPE ToArray(VARIANT Low, VARIANT High, VARIANT* result) noexcept override;
  HRESULT STDMETHODCALLTYPE Sort(VARIANT Values, VARIANT By, VARIANT Descending,
                                 VARIANT* result) noexcept override;

  // The store behind the interface, for tests and benchmarks of this library.
  const Store& store() const noexcept { return store_; }

 private:
  AvlObject() noexcept;
  ~AvlObject();

  // Apartment model: every call, AddRef and Release included, comes on the object's own thread
  // (other apartments reach it through a proxy), so the count needs no atomic operations.
  ULONG refs_ = 1;
  Store store_;
  InterfaceTypeInfo type_info_{IID__clsAVLt3};
};

}  // namespace quilmar
