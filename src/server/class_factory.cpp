#include "server/class_factory.h"

#include "quilmar/quilmar.h"
#include "server/avl_object.h"
#include "server/dictionary_object.h"
#include "server/module.h"

namespace quilmar {
namespace {

// One factory per class for the library's life; its references and locks count in the module's
// usage.
class Factory final : public IClassFactory {
 public:
  using Create = HRESULT (*)(REFIID riid, void** object) noexcept;
  explicit constexpr Factory(Create create) noexcept : create_(create) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) noexcept override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory))
      return E_NOINTERFACE;
    *object = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() noexcept override {
    module::add_ref();
    return 2;
  }
  ULONG STDMETHODCALLTYPE Release() noexcept override {
    module::release();
    return 1;
  }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid,
                                           void** object) noexcept override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return create_(riid, object);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) noexcept override {
    if (lock)
      module::add_ref();
    else
      module::release();
    return S_OK;
  }

 private:
  Create create_;
};

Factory store_factory(AvlObject::create);
Factory dictionary_factory(DictionaryObject::create);

}  // namespace

HRESULT get_class_object(REFCLSID clsid, REFIID riid, void** object) noexcept {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (IsEqualCLSID(clsid, CLSID_clsAVLt)) return store_factory.QueryInterface(riid, object);
  if (IsEqualCLSID(clsid, CLSID_SortedDictionary))
    return dictionary_factory.QueryInterface(riid, object);
  return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT can_unload_now() noexcept {
  return module::usage() == 0 ? S_OK : S_FALSE;
}

}  // namespace quilmar
