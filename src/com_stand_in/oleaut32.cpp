// oleaut32's string and Variant services for non-Windows hosts, limited to the kinds the stand-in
// VARIANT carries (no records).
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

#include "com_stand_in/live_strings.h"
#include "quilmar/com_types.h"

namespace {

constexpr std::size_t kPrefix = sizeof(std::uint32_t);

std::atomic<long> live_bstrs{0};

bool is_valid_base(VARTYPE base) {
  switch (base) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_I2:
    case VT_I4:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_ERROR:
    case VT_BOOL:
    case VT_UNKNOWN:
    case VT_DECIMAL:
    case VT_I1:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT: return true;
    default: return false;
  }
}

// Copies the value a by-reference Variant points at into dst (dst already empty).
HRESULT copy_referenced(VARIANT* dst, const VARIANT* src) {
  const VARTYPE base = src->vt & VT_TYPEMASK;
  if (src->byref == nullptr) return E_INVALIDARG;
  switch (base) {
    case VT_VARIANT: {
      const VARIANT* inner = src->pvarVal;
      if (inner->vt == (VT_BYREF | VT_VARIANT)) return E_INVALIDARG;
      return VariantCopyInd(dst, const_cast<VARIANT*>(inner));
    }
    case VT_BSTR: {
      BSTR s = *src->pbstrVal;
      dst->bstrVal = s ? SysAllocStringLen(s, SysStringLen(s)) : nullptr;
      if (s && !dst->bstrVal) return E_OUTOFMEMORY;
      break;
    }
    case VT_UNKNOWN:
    case VT_DISPATCH:
      dst->punkVal = *src->ppunkVal;
      if (dst->punkVal) dst->punkVal->AddRef();
      break;
    case VT_DECIMAL: dst->decVal = *src->pdecVal; break;
    case VT_I1:
    case VT_UI1: dst->bVal = *src->pbVal; break;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL: dst->iVal = *src->piVal; break;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_ERROR: dst->lVal = *src->plVal; break;
    case VT_I8:
    case VT_UI8:
    case VT_R8:
    case VT_CY:
    case VT_DATE: dst->llVal = *src->pllVal; break;
    default: return DISP_E_BADVARTYPE;
  }
  dst->vt = base;
  return S_OK;
}

// The bytes of one element of type vt; 0 for a type an array cannot hold.
ULONG element_size(VARTYPE vt) {
  switch (vt) {
    case VT_I1:
    case VT_UI1: return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL: return 2;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_ERROR: return 4;
    case VT_I8:
    case VT_UI8:
    case VT_R8:
    case VT_CY:
    case VT_DATE: return 8;
    case VT_BSTR:
    case VT_UNKNOWN:
    case VT_DISPATCH: return sizeof(void*);
    case VT_DECIMAL: return sizeof(DECIMAL);
    case VT_VARIANT: return sizeof(VARIANT);
    default: return 0;
  }
}

bool is_array_of_elements(VARTYPE vt) {
  return (vt & (VT_ARRAY | VT_BYREF)) == VT_ARRAY && element_size(vt & VT_TYPEMASK) != 0;
}

// As Windows lays an array out: 16 bytes before the descriptor hold the interface identifier of
// an array of objects, or (in their last 4) the element type of any other array.
constexpr std::size_t kHeader = 16;

std::size_t descriptor_bytes(UINT dims) {
  return sizeof(SAFEARRAY) + (dims - 1) * sizeof(SAFEARRAYBOUND);
}

USHORT features_of(VARTYPE vt) {
  switch (vt) {
    case VT_BSTR: return FADF_HAVEVARTYPE | FADF_BSTR;
    case VT_VARIANT: return FADF_HAVEVARTYPE | FADF_VARIANT;
    case VT_UNKNOWN: return FADF_HAVEIID | FADF_UNKNOWN;
    case VT_DISPATCH: return FADF_HAVEIID | FADF_DISPATCH;
    default: return FADF_HAVEVARTYPE;
  }
}

std::size_t element_count(const SAFEARRAY* psa) {
  std::size_t n = 1;
  for (USHORT d = 0; d < psa->cDims; ++d) n *= psa->rgsabound[d].cElements;
  return n;
}

// Releases what each element owns, by the features Windows reads for the same purpose.
void clear_elements(SAFEARRAY* psa) {
  const std::size_t n = element_count(psa);
  auto* bytes = static_cast<unsigned char*>(psa->pvData);
  if (!bytes) return;
  for (std::size_t i = 0; i < n; ++i) {
    void* element = bytes + i * psa->cbElements;
    if (psa->fFeatures & FADF_BSTR) {
      SysFreeString(*static_cast<BSTR*>(element));
    } else if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
      if (IUnknown* object = *static_cast<IUnknown**>(element)) object->Release();
    } else if (psa->fFeatures & FADF_VARIANT) {
      VariantClear(static_cast<VARIANT*>(element));
    }
  }
}

// Copies element i of `from` into the zeroed element i of `to` (same type).
HRESULT copy_element(const SAFEARRAY* from, SAFEARRAY* to, std::size_t i) {
  const void* src = static_cast<const unsigned char*>(from->pvData) + i * from->cbElements;
  void* dst = static_cast<unsigned char*>(to->pvData) + i * to->cbElements;
  if (from->fFeatures & FADF_VARIANT)
    return VariantCopy(static_cast<VARIANT*>(dst), static_cast<const VARIANT*>(src));
  std::memcpy(dst, src, from->cbElements);
  if (from->fFeatures & FADF_BSTR) {
    BSTR s = *static_cast<const BSTR*>(src);
    if (!s) return S_OK;
    *static_cast<BSTR*>(dst) = SysAllocStringLen(s, SysStringLen(s));
    if (!*static_cast<BSTR*>(dst)) return E_OUTOFMEMORY;
  } else if (from->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
    if (IUnknown* object = *static_cast<IUnknown* const*>(src)) object->AddRef();
  }
  return S_OK;
}

HRESULT copy_referenced_array(VARIANT* dst, const VARIANT* src) {
  if (!src->pparray || !is_array_of_elements(src->vt & ~VT_BYREF)) return DISP_E_BADVARTYPE;
  SAFEARRAY* copy = nullptr;
  if (const HRESULT hr = SafeArrayCopy(*src->pparray, &copy); FAILED(hr)) return hr;
  if (const HRESULT hr = VariantClear(dst); FAILED(hr)) {
    SafeArrayDestroy(copy);
    return hr;
  }
  dst->vt = static_cast<VARTYPE>(src->vt & ~VT_BYREF);
  dst->parray = copy;
  return S_OK;
}

}  // namespace

SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound) {
  const ULONG size = element_size(vt);
  if (!size || cDims == 0 || cDims > 0xFFFF || !rgsabound) return nullptr;
  std::size_t count = 1;
  for (UINT d = 0; d < cDims; ++d) {
    const ULONG n = rgsabound[d].cElements;
    if (n && count > static_cast<std::size_t>(-1) / size / n) return nullptr;
    count *= n;
  }
  auto* block = static_cast<unsigned char*>(std::calloc(1, kHeader + descriptor_bytes(cDims)));
  if (!block) return nullptr;
  auto* psa = reinterpret_cast<SAFEARRAY*>(block + kHeader);
  psa->cDims = static_cast<USHORT>(cDims);
  psa->fFeatures = features_of(vt);
  psa->cbElements = size;
  if (psa->fFeatures & FADF_HAVEIID) {
    const IID& iid = vt == VT_DISPATCH ? IID_IDispatch : IID_IUnknown;
    std::memcpy(block, &iid, sizeof iid);
  } else {
    const DWORD type = vt;
    std::memcpy(block + kHeader - sizeof type, &type, sizeof type);
  }
  for (UINT d = 0; d < cDims; ++d) psa->rgsabound[cDims - 1 - d] = rgsabound[d];
  psa->pvData = std::calloc(count ? count : 1, size);
  if (!psa->pvData) {
    std::free(block);
    return nullptr;
  }
  return psa;
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements) {
  SAFEARRAYBOUND bound = {cElements, lLbound};
  return SafeArrayCreate(vt, 1, &bound);
}

HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt) {
  if (!psa || !pvt) return E_INVALIDARG;
  const auto* block = reinterpret_cast<const unsigned char*>(psa) - kHeader;
  if (psa->fFeatures & FADF_RECORD) {
    *pvt = VT_RECORD;
  } else if ((psa->fFeatures & (FADF_HAVEIID | FADF_DISPATCH)) == (FADF_HAVEIID | FADF_DISPATCH)) {
    *pvt = VT_DISPATCH;
  } else if (psa->fFeatures & FADF_HAVEIID) {
    *pvt = VT_UNKNOWN;
  } else if (psa->fFeatures & FADF_HAVEVARTYPE) {
    DWORD type;
    std::memcpy(&type, block + kHeader - sizeof type, sizeof type);
    *pvt = static_cast<VARTYPE>(type);
  } else {
    return E_INVALIDARG;
  }
  return S_OK;
}

UINT SafeArrayGetElemsize(SAFEARRAY* psa) {
  return psa ? psa->cbElements : 0;
}

HRESULT SafeArrayPtrOfIndex(SAFEARRAY* psa, LONG* rgIndices, void** ppvData) {
  if (!psa || !rgIndices || !ppvData) return E_INVALIDARG;
  // rgIndices[0] is the first dimension, which varies fastest and whose bound is stored last.
  std::size_t offset = 0, stride = 1;
  for (USHORT d = 0; d < psa->cDims; ++d) {
    const SAFEARRAYBOUND& bound = psa->rgsabound[psa->cDims - 1 - d];
    const long long at = static_cast<long long>(rgIndices[d]) - bound.lLbound;
    if (at < 0 || at >= static_cast<long long>(bound.cElements)) return DISP_E_BADINDEX;
    offset += static_cast<std::size_t>(at) * stride;
    stride *= bound.cElements;
  }
  *ppvData = static_cast<unsigned char*>(psa->pvData) + offset * psa->cbElements;
  return S_OK;
}

HRESULT SafeArrayDestroy(SAFEARRAY* psa) {
  if (!psa) return S_OK;
  if (psa->cLocks) return DISP_E_ARRAYISLOCKED;
  clear_elements(psa);
  std::free(psa->pvData);
  std::free(reinterpret_cast<unsigned char*>(psa) - kHeader);
  return S_OK;
}

// The result is written bytewise: it may be the array of a Variant in a record packed to 4 bytes
// (a store's node), where a pointer is not aligned.
HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut) {
  if (!ppsaOut) return E_INVALIDARG;
  SAFEARRAY* const none = nullptr;
  std::memcpy(ppsaOut, &none, sizeof none);
  if (!psa) return S_OK;
  VARTYPE vt = VT_EMPTY;
  if (const HRESULT hr = SafeArrayGetVartype(psa, &vt); FAILED(hr)) return hr;
  SAFEARRAYBOUND bounds[64];
  if (psa->cDims == 0 || psa->cDims > 64) return E_INVALIDARG;
  for (USHORT d = 0; d < psa->cDims; ++d) bounds[d] = psa->rgsabound[psa->cDims - 1 - d];
  SAFEARRAY* copy = SafeArrayCreate(vt, psa->cDims, bounds);
  if (!copy) return E_OUTOFMEMORY;
  const std::size_t n = element_count(psa);
  for (std::size_t i = 0; i < n; ++i) {
    if (const HRESULT hr = copy_element(psa, copy, i); FAILED(hr)) {
      SafeArrayDestroy(copy);
      return hr;
    }
  }
  std::memcpy(ppsaOut, &copy, sizeof copy);
  return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData) {
  if (!psa || !ppvData) return E_INVALIDARG;
  ++psa->cLocks;
  *ppvData = psa->pvData;
  return S_OK;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* psa) {
  if (!psa) return E_INVALIDARG;
  if (!psa->cLocks) return E_UNEXPECTED;
  --psa->cLocks;
  return S_OK;
}

HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound) {
  if (!psa || !plLbound) return E_INVALIDARG;
  if (nDim == 0 || nDim > psa->cDims) return DISP_E_BADINDEX;
  *plLbound = psa->rgsabound[psa->cDims - nDim].lLbound;
  return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound) {
  if (!psa || !plUbound) return E_INVALIDARG;
  if (nDim == 0 || nDim > psa->cDims) return DISP_E_BADINDEX;
  const SAFEARRAYBOUND& bound = psa->rgsabound[psa->cDims - nDim];
  *plUbound = bound.lLbound + static_cast<LONG>(bound.cElements) - 1;
  return S_OK;
}

UINT SafeArrayGetDim(SAFEARRAY* psa) {
  return psa ? psa->cDims : 0;
}

BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
  auto* block = static_cast<unsigned char*>(
      std::malloc(kPrefix + (static_cast<std::size_t>(length) + 1) * sizeof(OLECHAR)));
  if (!block) return nullptr;
  ++live_bstrs;
  const std::uint32_t bytes = length * sizeof(OLECHAR);
  std::memcpy(block, &bytes, kPrefix);
  auto* chars = reinterpret_cast<OLECHAR*>(block + kPrefix);
  if (text)
    std::memcpy(chars, text, length * sizeof(OLECHAR));
  else
    std::memset(chars, 0, length * sizeof(OLECHAR));
  chars[length] = 0;
  return chars;
}

BSTR SysAllocString(const OLECHAR* text) {
  if (!text) return nullptr;
  UINT n = 0;
  while (text[n]) ++n;
  return SysAllocStringLen(text, n);
}

void SysFreeString(BSTR text) {
  if (!text) return;
  --live_bstrs;
  std::free(reinterpret_cast<unsigned char*>(text) - kPrefix);
}

long live_bstr_count() noexcept {
  return live_bstrs.load();
}

UINT SysStringLen(BSTR text) {
  if (!text) return 0;
  std::uint32_t bytes;
  std::memcpy(&bytes, reinterpret_cast<unsigned char*>(text) - kPrefix, kPrefix);
  return bytes / sizeof(OLECHAR);
}

void VariantInit(VARIANT* v) {
  v->vt = VT_EMPTY;
  v->wReserved1 = v->wReserved2 = v->wReserved3 = 0;
  v->llVal = 0;
}

HRESULT VariantClear(VARIANT* v) {
  if (is_array_of_elements(v->vt)) {
    if (const HRESULT hr = SafeArrayDestroy(v->parray); FAILED(hr)) return hr;
  } else if (!(v->vt & VT_BYREF)) {
    if (v->vt & VT_ARRAY || !is_valid_base(v->vt)) return DISP_E_BADVARTYPE;
    if (v->vt == VT_BSTR) SysFreeString(v->bstrVal);
    if ((v->vt == VT_UNKNOWN || v->vt == VT_DISPATCH) && v->punkVal) v->punkVal->Release();
  }
  VariantInit(v);
  return S_OK;
}

HRESULT VariantCopy(VARIANT* dst, const VARIANT* src) {
  if (dst == src) return S_OK;
  if (!(src->vt & VT_BYREF) && !is_array_of_elements(src->vt) &&
      (src->vt & VT_ARRAY || !is_valid_base(src->vt)))
    return DISP_E_BADVARTYPE;
  if (const HRESULT hr = VariantClear(dst); FAILED(hr)) return hr;
  *dst = *src;
  if (is_array_of_elements(src->vt)) {
    if (const HRESULT hr = SafeArrayCopy(src->parray, &dst->parray); FAILED(hr)) {
      VariantInit(dst);
      return hr;
    }
  } else if (src->vt == VT_BSTR && src->bstrVal) {
    dst->bstrVal = SysAllocStringLen(src->bstrVal, SysStringLen(src->bstrVal));
    if (!dst->bstrVal) {
      VariantInit(dst);
      return E_OUTOFMEMORY;
    }
  } else if ((src->vt == VT_UNKNOWN || src->vt == VT_DISPATCH) && src->punkVal) {
    src->punkVal->AddRef();
  }
  return S_OK;
}

HRESULT VariantCopyInd(VARIANT* dst, VARIANTARG* src) {
  if (!(src->vt & VT_BYREF)) return VariantCopy(dst, src);
  if (src->vt & VT_ARRAY) return copy_referenced_array(dst, src);
  VARIANT tmp;
  VariantInit(&tmp);
  if (const HRESULT hr = copy_referenced(&tmp, src); FAILED(hr)) return hr;
  if (const HRESULT hr = VariantClear(dst); FAILED(hr)) {
    VariantClear(&tmp);
    return hr;
  }
  *dst = tmp;
  return S_OK;
}
